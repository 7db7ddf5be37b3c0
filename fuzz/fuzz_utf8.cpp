// The UTF-8 decoder against a decoder written plainly from its contract: valid sequences up to U+FFFF give
// their unit, up to U+10FFFF their surrogate pair, any byte that does not start a valid sequence gives its Latin-1 unit
// and decoding goes on with the next byte, and a sequence cut by the end of the text gives its first byte and ends the
// text.

#include "codecs/utf8_decoder.h"
#include "fuzz_check.h"

#include <QString>
#include <vector>

namespace {

std::vector<char16_t> Reference(QByteArrayView bytes)
{
    std::vector<char16_t> out;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        int length = 0;
        uint32_t value = 0;
        if (b >= 0xC0 && b <= 0xDF) {
            length = 2;
            value = b & 0x1Fu;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            value = b & 0x0Fu;
        } else if (b >= 0xF0 && b <= 0xF7) {
            length = 4;
            value = b & 0x07u;
        }
        if (length == 0) { // ASCII, a stray continuation byte or F8..FF
            out.push_back(b);
            ++i;
            continue;
        }
        bool continuation = true;
        for (int k = 1; k < length && i + k < bytes.size(); ++k) {
            const auto c = static_cast<uint8_t>(bytes[i + k]);
            if ((c & 0xC0u) != 0x80u) {
                continuation = false;
                break;
            }
            value = (value << 6) | (c & 0x3Fu);
        }
        if (!continuation || (i + length <= bytes.size() && value > 0x10FFFF)) {
            out.push_back(b);
            ++i;
            continue;
        }
        if (i + length > bytes.size()) {
            out.push_back(b);
            break;
        }
        if (value > 0xFFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(value));
        }
        i += length;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes = vesk::fuzz::Bytes(data, size);
    const QString decoded = vesk::Utf8ToWideText(bytes);
    const std::vector<char16_t> expected = Reference(bytes);
    VESK_FUZZ_CHECK(decoded.size() == static_cast<qsizetype>(expected.size()), "unit count");
    for (qsizetype i = 0; i < decoded.size(); ++i)
        VESK_FUZZ_CHECK(decoded[i].unicode() == expected[static_cast<size_t>(i)], "unit value");

    bool ascii = true;
    for (const char c : bytes)
        ascii = ascii && static_cast<uint8_t>(c) < 0x80;
    VESK_FUZZ_CHECK(vesk::IsPlainAscii(bytes) == ascii, "IsPlainAscii");
    return 0;
}
