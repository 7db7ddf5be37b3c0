# `format` rewrites the sources in place; `format-check` fails on any difference (CI runs it).
find_program(CLANG_FORMAT_EXE NAMES clang-format clang-format-14)
if(CLANG_FORMAT_EXE)
    # The one glob in the build, on purpose: this is the list of files to format, not to compile, and a new
    # file must be checked the day it appears rather than when someone remembers to list it.
    file(GLOB_RECURSE VESK_FORMAT_SOURCES CONFIGURE_DEPENDS
        ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
        ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/tools/*.h
        ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
        ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.h)
    add_custom_target(format COMMAND ${CLANG_FORMAT_EXE} -i ${VESK_FORMAT_SOURCES} VERBATIM)
    add_custom_target(format-check
        COMMAND ${CLANG_FORMAT_EXE} --dry-run --Werror ${VESK_FORMAT_SOURCES} VERBATIM)
endif()
