#include "whois/ip_address.h"

#include "whois/host_text.h"

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

} // namespace

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
