#pragma once

// A failed property ends the run the way a crash does, so libFuzzer saves the input.

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

#define VESK_FUZZ_CHECK(condition, what)                                                                               \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", what, __FILE__, __LINE__);                           \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace vesk::fuzz {

inline QByteArrayView Bytes(const uint8_t* data, size_t size)
{
    return QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

} // namespace vesk::fuzz
