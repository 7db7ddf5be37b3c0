#include "whois/ip_address.h"

#include "whois/host_text.h"

#include <algorithm>

namespace vesk {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The text the form reads the four numbers from.
QByteArray FormText(QByteArrayView text, IPv4Form form)
{
    switch (form) {
    case IPv4Form::Strict:
        return text.toByteArray();
    case IPv4Form::Typed: {
        QByteArray packed;
        packed.reserve(text.size());
        for (const char c : text) {
            if (c != ' ')
                packed.append(c);
        }
        return packed;
    }
    case IPv4Form::Lenient:
        break;
    }
    return CleanAddress(text);
}

// The longest run of digits the form allows for the number at `index` (0 to 3); 0: any length.
qsizetype MaxDigits(IPv4Form form, int index)
{
    switch (form) {
    case IPv4Form::Strict:
        return 3;
    case IPv4Form::Typed:
        return index < 3 ? 3 : 0;
    case IPv4Form::Lenient:
        break;
    }
    return 0;
}

int HexValue(char c)
{
    if (IsDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The groups of one side of a "::" (or of a whole address without one); false when one is malformed. Only the
// last group of the address may be a dotted IPv4 address, which counts as two groups.
bool ParseGroups(QByteArrayView text, bool tailAllowed, QList<uint16_t>& groups)
{
    if (text.isEmpty())
        return true;
    const QList<QByteArray> parts = text.toByteArray().split(':');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray& part = parts.at(i);
        if (tailAllowed && i == parts.size() - 1 && part.contains('.')) {
            const int64_t v4 = ParseIPv4(part, IPv4Form::Strict);
            if (v4 < 0)
                return false;
            groups.append(static_cast<uint16_t>(v4 >> 16));
            groups.append(static_cast<uint16_t>(v4 & 0xFFFF));
            continue;
        }
        if (part.isEmpty() || part.size() > 4)
            return false;
        int value = 0;
        for (const char c : part) {
            const int digit = HexValue(c);
            if (digit < 0)
                return false;
            value = value * 16 + digit;
        }
        groups.append(static_cast<uint16_t>(value));
    }
    return true;
}

// The longest text form: six groups of four digits and a dotted tail.
constexpr qsizetype kMaxIPv6Text = 45;

} // namespace

std::optional<IPv6Bytes> ParseIPv6(QByteArrayView text)
{
    if (text.size() < 2 || text.size() > kMaxIPv6Text)
        return std::nullopt;
    QList<uint16_t> head;
    QList<uint16_t> tail;
    const qsizetype gap = text.indexOf("::");
    if (gap < 0) {
        if (!ParseGroups(text, true, head) || head.size() != 8)
            return std::nullopt;
    } else {
        if (text.indexOf("::", gap + 1) >= 0)
            return std::nullopt;
        if (!ParseGroups(text.first(gap), false, head) || !ParseGroups(text.sliced(gap + 2), true, tail)
            || head.size() + tail.size() > 7)
            return std::nullopt;
    }
    std::array<uint16_t, 8> groups {};
    for (qsizetype i = 0; i < head.size(); ++i)
        groups[static_cast<size_t>(i)] = head.at(i);
    for (qsizetype i = 0; i < tail.size(); ++i)
        groups[static_cast<size_t>(8 - tail.size() + i)] = tail.at(i);
    IPv6Bytes bytes {};
    for (size_t i = 0; i < 8; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(groups[i] >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>(groups[i] & 0xFF);
    }
    return bytes;
}

QByteArray IPv6Text(const IPv6Bytes& address)
{
    std::array<int, 8> groups {};
    for (size_t i = 0; i < 8; ++i)
        groups[i] = (address[2 * i] << 8) | address[2 * i + 1];
    const bool mapped
        = groups[0] == 0 && groups[1] == 0 && groups[2] == 0 && groups[3] == 0 && groups[4] == 0 && groups[5] == 0xFFFF;
    if (mapped) {
        const uint32_t v4 = (static_cast<uint32_t>(groups[6]) << 16) | static_cast<uint32_t>(groups[7]);
        return "::ffff:" + AddressText(v4);
    }
    int bestStart = -1;
    int bestLength = 1;
    for (int i = 0; i < 8;) {
        if (groups[static_cast<size_t>(i)] != 0) {
            ++i;
            continue;
        }
        int end = i;
        while (end < 8 && groups[static_cast<size_t>(end)] == 0)
            ++end;
        if (end - i > bestLength) {
            bestStart = i;
            bestLength = end - i;
        }
        i = end;
    }
    QByteArray text;
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            text += "::";
            i += bestLength - 1;
            continue;
        }
        if (!text.isEmpty() && !text.endsWith(':'))
            text += ':';
        text += QByteArray::number(groups[static_cast<size_t>(i)], 16);
    }
    return text;
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

int64_t ParseIPv4(QByteArrayView text, IPv4Form form)
{
    const QByteArray kept = FormText(text, form);
    int64_t address = 0;
    int index = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= kept.size(); ++i) {
        if (i < kept.size() && kept[i] != '.')
            continue;
        const QByteArrayView digits = QByteArrayView(kept).sliced(start, i - start);
        const qsizetype maxDigits = MaxDigits(form, index);
        if (index == 4 || digits.isEmpty() || (maxDigits > 0 && digits.size() > maxDigits))
            return -1;
        int64_t number = 0;
        for (const char c : digits) {
            if (!IsDigit(c))
                return -1;
            // Leading zeros may be any number; the value may not pass 255.
            number = number * 10 + (c - '0');
            if (number > 255)
                return -1;
        }
        address = address * 256 + number;
        ++index;
        start = i + 1;
    }
    return index == 4 ? address : -1;
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

std::optional<TIPv6Range> ParseCidr6(QByteArrayView text)
{
    QByteArrayView address = text;
    int32_t prefix = 128;
    const qsizetype slash = text.indexOf('/');
    if (slash >= 0) {
        address = text.first(slash);
        if (!ToInt32(DigitsOnly(text.sliced(slash + 1)), prefix) || prefix < 0 || prefix > 128)
            prefix = 128;
    }
    const std::optional<IPv6Bytes> parsed = ParseIPv6(address);
    if (!parsed)
        return std::nullopt;
    TIPv6Range range { *parsed, *parsed };
    for (int bit = prefix; bit < 128; ++bit) {
        const auto byte = static_cast<size_t>(bit / 8);
        const auto mask = static_cast<uint8_t>(0x80u >> (bit % 8));
        range.First[byte] &= static_cast<uint8_t>(~mask);
        range.Last[byte] |= mask;
    }
    return range;
}

int TNetworkRange::AddCidr(QByteArrayView text)
{
    if (text.contains(':')) {
        const std::optional<TIPv6Range> range6 = ParseCidr6(text);
        if (!range6)
            return 0;
        m_ranges6.append(*range6);
        return static_cast<int>(m_ranges6.size());
    }
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
    // Checked first: the lenient IPv4 reading would find "192.0.2.1" in "::ffff:192.0.2.1".
    if (address.contains(':')) {
        const std::optional<IPv6Bytes> value6 = ParseIPv6(address);
        if (!value6)
            return false;
        return std::any_of(m_ranges6.cbegin(), m_ranges6.cend(), [&value6](const TIPv6Range& range) {
            return range.First <= *value6 && *value6 <= range.Last;
        });
    }
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
