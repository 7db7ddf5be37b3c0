/// The character-set codecs: reply bytes decoded as UTF-8 with a Latin-1 fallback.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstdint>

namespace vesk {

/// Outcome of decoding one UTF-8 sequence.
enum class DecodeStatus : uint8_t {
    Ok = 0, ///< a complete, well-formed sequence
    Invalid = 1, ///< bad first byte, or a following byte that is not a continuation byte
    Incomplete = 2, ///< fewer bytes left than the first byte announces
    NoInput = 3, ///< no bytes
    OutOfRange = 4, ///< above U+FFFF (16-bit variant only)
};

struct DecodedChar
{
    DecodeStatus status = DecodeStatus::NoInput;
    int length = 0; ///< bytes the sequence occupies
    uint32_t value = 0;
};

struct DecodedWideChar
{
    DecodeStatus status = DecodeStatus::NoInput;
    int length = 0;
    char16_t unit = 0;
};

/// Decodes the sequence at the start of `bytes`. Never fails: a bad first byte comes back as its own value with
/// length 1. A sequence cut short by `left` whose present bytes are all continuation bytes is Incomplete, with
/// the announced length and the first byte as value; a present byte that is no continuation byte makes it
/// Invalid first. Overlong forms and surrogate values are not rejected.
DecodedChar DecodeUtf8Char(const char* bytes, qsizetype left);
/// The same, narrowed to one UTF-16 unit; values above U+FFFF give unit 0 and OutOfRange.
DecodedWideChar DecodeUtf8WideChar(const char* bytes, qsizetype left);
/// No byte has its top bit set (true for the empty text).
bool IsPlainAscii(QByteArrayView bytes);
/// Each byte as the Latin-1 character of the same value.
QString WidenLatin1(QByteArrayView bytes);
/// UTF-8 where the bytes are UTF-8, Latin-1 byte by byte where they are not, so every byte maps to a character;
/// a character above U+FFFF gives its surrogate pair, and a four-byte form above U+10FFFF counts as a byte that
/// starts nothing (its first byte as Latin-1, decoding goes on after it). A sequence cut by the end of the text gives
/// its first byte and ends the text (its at most two continuation bytes are dropped).
QString Utf8ToWideText(QByteArrayView bytes);

} // namespace vesk
