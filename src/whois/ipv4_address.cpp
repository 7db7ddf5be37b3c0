#include "whois/ipv4_address.h"

#include "whois/host_text.h"

namespace vesk {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// One octet of a dotted address: a decimal integer 0 to 255 (leading zeros allowed).
bool ParseOctet(QByteArrayView piece, int64_t& octet)
{
    int32_t value = 0;
    if (!ToInt32(piece, value) || value < 0 || value > 255)
        return false;
    octet = value;
    return true;
}

} // namespace

bool IsDottedIPv4(QByteArrayView text)
{
    QByteArray packed;
    packed.reserve(text.size());
    for (const char c : text) {
        if (c != ' ')
            packed.append(c);
    }

    qsizetype dots[3] = { 0, 0, 0 };
    int dotCount = 0;
    for (qsizetype i = 0; i < packed.size(); ++i) {
        const char c = packed[i];
        if (IsDigit(c))
            continue;
        if (c != '.')
            return false;
        if (dotCount == 3)
            return false;
        dots[dotCount++] = i + 1; // positions count from 1
    }
    if (dotCount != 3)
        return false;

    const qsizetype d1 = dots[0], d2 = dots[1], d3 = dots[2];
    if (d1 < 2 || d1 > 4 || d2 < d1 + 2 || d2 > d1 + 4 || d3 < d2 + 2 || d3 > d2 + 4 || d3 == packed.size())
        return false;

    const QByteArray runs[4]
        = { packed.mid(0, d1 - 1), packed.mid(d1, d2 - d1 - 1), packed.mid(d2, d3 - d2 - 1), packed.mid(d3) };
    for (const QByteArray& run : runs) {
        int32_t value = 0;
        if (!ToInt32(run, value) || value > 255)
            return false;
    }
    return true;
}

QByteArray CleanAddress(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        if (IsDigit(c) || c == '.')
            out.append(c);
    }
    if (out.startsWith('.'))
        out.remove(0, 1);
    if (out.endsWith('.'))
        out.chop(1);
    return out;
}

QByteArray DigitsOnly(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        if (IsDigit(c))
            out.append(c);
    }
    return out;
}

int64_t ParseIPv4(QByteArrayView text)
{
    const QByteArray clean = CleanAddress(text);
    if (clean.isEmpty())
        return -1;
    QByteArrayView rest(clean);
    int64_t value = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype dot = rest.indexOf('.');
        if (dot < 0)
            return -1;
        int64_t octet = 0;
        if (!ParseOctet(rest.first(dot), octet))
            return -1;
        value = value * 256 + octet;
        rest = rest.sliced(dot + 1);
    }
    int64_t octet = 0;
    if (!ParseOctet(rest, octet))
        return -1;
    return value * 256 + octet;
}

TIPRange ParseCidr(QByteArrayView text)
{
    QByteArrayView address = text;
    int32_t prefix = 32;
    const qsizetype slash = text.indexOf('/');
    if (slash >= 0) {
        address = text.first(slash);
        if (!ToInt32(DigitsOnly(text.sliced(slash + 1)), prefix) || prefix < 0 || prefix > 32)
            prefix = 32;
    }
    TIPRange range;
    range.First = ParseIPv4(address);
    int64_t size = 1;
    for (int i = 0; i < 32 - prefix; ++i)
        size *= 2;
    range.Last = range.First + size - 1;
    return range;
}

QByteArray AddressText(uint32_t address)
{
    QByteArray text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.isEmpty())
            text.append('.');
        text.append(QByteArray::number((address >> shift) & 0xFFu));
    }
    return text;
}

int TNetworkRange::AddCidr(QByteArrayView text)
{
    const TIPRange range = ParseCidr(text);
    // A block whose address does not parse would otherwise reach from -1 to almost the whole address space and
    // hide every later network of the report.
    if (range.First < 0)
        return 0;
    if (range.First > 0 || range.Last > 0)
        return Add(range);
    return 0;
}

int TNetworkRange::Add(const TIPRange& range)
{
    m_ranges.append(range);
    return static_cast<int>(m_ranges.size());
}

bool TNetworkRange::Contains(QByteArrayView address) const
{
    const int64_t value = ParseIPv4(address);
    if (value < 0)
        return false;
    for (const TIPRange& range : m_ranges) {
        if (range.First <= value && value <= range.Last)
            return true;
    }
    return false;
}

} // namespace vesk
