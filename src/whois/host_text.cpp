#include "whois/host_text.h"

#include <limits>

namespace vesk {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return static_cast<uint8_t>(c) <= 32;
}

// `text` with every letter from `first` to `first` + 25 moved by the distance from `first` to `target`; only the
// letters A to Z and a to z change case, whatever the locale.
QByteArray ShiftAsciiLetters(QByteArrayView text, char first, char target)
{
    QByteArray out = text.toByteArray();
    for (char& c : out) {
        if (c >= first && c <= first + 25)
            c = static_cast<char>(c - first + target);
    }
    return out;
}

} // namespace

QByteArray TrimText(QByteArrayView text)
{
    return TrimmedView(text).toByteArray();
}

QByteArrayView TrimmedView(QByteArrayView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.sliced(first, last - first);
}

QByteArray LowerAscii(QByteArrayView text)
{
    return ShiftAsciiLetters(text, 'A', 'a');
}

QByteArray UpperAscii(QByteArrayView text)
{
    return ShiftAsciiLetters(text, 'a', 'A');
}

qsizetype LastDotPos(QByteArrayView text)
{
    for (qsizetype i = text.size(); i > 0; --i) {
        if (text[i - 1] == '.')
            return i;
    }
    return 0;
}

HostNameParts SplitHostName(QByteArrayView host)
{
    HostNameParts parts;
    const QByteArray trimmed = TrimText(host);
    const qsizetype dot = LastDotPos(trimmed);
    if (dot == 0)
        return parts;
    parts.Name = trimmed.left(dot - 1);
    parts.Tld = trimmed.mid(dot);
    return parts;
}

// Accepts exactly: blanks, an optional '+' or '-', one or more decimal digits, blanks. The value must lie in
// the int32 range; leading zeros are allowed, any number of them.
bool ToInt32(QByteArrayView text, int32_t& value)
{
    qsizetype i = 0;
    qsizetype end = text.size();
    while (i < end && IsBlank(text[i]))
        ++i;
    while (end > i && IsBlank(text[end - 1]))
        --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == end)
        return false;
    // Accumulate the magnitude in 64 bits; stop as soon as it cannot fit either sign.
    const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                   : static_cast<int64_t>(std::numeric_limits<int32_t>::max());
    int64_t magnitude = 0;
    for (; i < end; ++i) {
        if (!IsDigit(text[i]))
            return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit)
            return false;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

} // namespace vesk
