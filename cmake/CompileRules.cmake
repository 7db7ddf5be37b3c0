# Every target links vesk_compile_rules, so flags cannot drift between targets.
add_library(vesk_compile_rules INTERFACE)
target_compile_features(vesk_compile_rules INTERFACE cxx_std_20)
target_compile_options(vesk_compile_rules INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
target_compile_definitions(vesk_compile_rules INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT QT_NO_KEYWORDS)
target_include_directories(vesk_compile_rules INTERFACE
    ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/generated)
if(VESK_SANITIZE)
    target_compile_options(vesk_compile_rules INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
    target_link_options(vesk_compile_rules INTERFACE -fsanitize=address,undefined)
endif()
