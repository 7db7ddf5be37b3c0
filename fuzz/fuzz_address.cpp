// Address parsing against plain references written from the rules: ParseIPv4 keeps only digits and dots, drops
// one leading and one trailing dot, and needs exactly four decimal numbers 0 to 255 (leading zeros allowed);
// ParseCidr takes the digits after the first "/" as the prefix length (32 when unusable); LastDotPos is the
// position of the last dot counted from 1. TNetworkRange must agree with the ranges it holds. The typed form
// ignores blanks and needs four dot-separated numbers 0 to 255, the first three of one to three digits; the query
// classifier's IsIPAddress refuses more than 255 characters first. SplitLabels cuts the trimmed text without its
// outer dots at its last three dots.
// Input: the text to parse; a second text after the first NUL is the address that Contains is asked about.

#include "fuzz_check.h"
#include "lookup/classify.h"
#include "whois/host_text.h"
#include "whois/ip_address.h"

#include <string>

namespace {

int64_t ReferenceIPv4(QByteArrayView text)
{
    std::string clean;
    for (const char c : text) {
        if ((c >= '0' && c <= '9') || c == '.')
            clean.push_back(c);
    }
    if (!clean.empty() && clean.front() == '.')
        clean.erase(0, 1);
    if (!clean.empty() && clean.back() == '.')
        clean.pop_back();
    if (clean.empty())
        return -1;
    int64_t value = 0;
    int numbers = 0;
    size_t start = 0;
    while (true) {
        const size_t dot = clean.find('.', start);
        const std::string piece = clean.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (piece.empty())
            return -1;
        int64_t number = 0;
        for (const char c : piece) {
            number = number * 10 + (c - '0');
            if (number > 255)
                return -1;
        }
        if (++numbers > 4)
            return -1;
        value = value * 256 + number;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return numbers == 4 ? value : -1;
}

vesk::TIPRange ReferenceCidr(QByteArrayView text)
{
    QByteArrayView address = text;
    int64_t prefix = 32;
    const qsizetype slash = text.indexOf('/');
    if (slash >= 0) {
        address = text.first(slash);
        int64_t n = 0;
        bool digits = false;
        for (const char c : text.sliced(slash + 1)) {
            if (c >= '0' && c <= '9') {
                digits = true;
                n = n * 10 + (c - '0');
                if (n > 2147483647) // no longer a 32-bit integer
                    break;
            }
        }
        prefix = digits && n <= 32 ? n : 32;
    }
    vesk::TIPRange range;
    range.First = ReferenceIPv4(address);
    range.Last = range.First + (int64_t { 1 } << (32 - prefix)) - 1;
    return range;
}

bool ReferenceIsIPAddress(QByteArrayView text)
{
    std::string packed;
    for (const char c : text) {
        if (c != ' ')
            packed.push_back(c);
    }
    std::string pieces[4];
    int count = 0;
    for (const char c : packed) {
        if (c == '.') {
            if (++count > 3)
                return false;
        } else if (c >= '0' && c <= '9') {
            pieces[count].push_back(c);
        } else {
            return false;
        }
    }
    if (count != 3 || pieces[3].empty())
        return false;
    for (int i = 0; i < 4; ++i) {
        if (pieces[i].empty() || (i < 3 && pieces[i].size() > 3))
            return false;
        int64_t number = 0;
        for (const char c : pieces[i]) {
            number = number * 10 + (c - '0');
            if (number > 255)
                return false;
        }
    }
    return true;
}

std::array<QByteArray, 4> ReferenceSplitLabels(QByteArrayView text)
{
    std::string rest = vesk::TrimText(text).toStdString();
    while (!rest.empty() && rest.back() == '.')
        rest.pop_back();
    while (!rest.empty() && rest.front() == '.')
        rest.erase(0, 1);
    std::array<QByteArray, 4> labels;
    int found = 0;
    for (; found < 3; ++found) {
        const size_t dot = rest.rfind('.');
        if (dot == std::string::npos)
            break;
        labels[static_cast<size_t>(found)] = QByteArray::fromStdString(rest.substr(dot + 1));
        rest.erase(dot);
    }
    labels[static_cast<size_t>(found)] = QByteArray::fromStdString(rest);
    return labels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vesk;
    const QByteArrayView input = fuzz::Bytes(data, size);
    const qsizetype nul = input.indexOf('\0');
    const QByteArrayView text = nul < 0 ? input : input.first(nul);
    const QByteArrayView probe = nul < 0 ? input : input.sliced(nul + 1);

    VESK_FUZZ_CHECK(ParseIPv4(text) == ReferenceIPv4(text), "ParseIPv4 equals the reference");
    VESK_FUZZ_CHECK(LastDotPos(text) == text.lastIndexOf('.') + 1, "LastDotPos equals the reference");
    VESK_FUZZ_CHECK(SplitLabels(text) == ReferenceSplitLabels(text), "SplitLabels equals the reference");
    VESK_FUZZ_CHECK((ParseIPv4(text, vesk::IPv4Form::Typed) >= 0) == ReferenceIsIPAddress(text),
                    "the typed form equals the reference");
    // The strict form: the typed one without blanks and with a fourth number of at most three digits.
    const bool strict = !text.contains(' ') && ReferenceIsIPAddress(text) && text.size() - text.lastIndexOf('.') <= 4;
    const int64_t strictValue = ParseIPv4(text, vesk::IPv4Form::Strict);
    VESK_FUZZ_CHECK((strictValue >= 0) == strict, "the strict form equals the reference");
    VESK_FUZZ_CHECK(!strict || strictValue == ReferenceIPv4(text), "the strict form reads the same address");
    try {
        VESK_FUZZ_CHECK(IsIPAddress(text) == ReferenceIsIPAddress(text), "IsIPAddress equals the reference");
        VESK_FUZZ_CHECK(text.size() <= kMaxQueryLength, "a query too long is refused");
    } catch (const QueryTooLongError&) {
        VESK_FUZZ_CHECK(text.size() > kMaxQueryLength, "only a query too long is refused");
    }

    const TIPRange range = ParseCidr(text);
    const TIPRange expected = ReferenceCidr(text);
    VESK_FUZZ_CHECK(range.First == expected.First && range.Last == expected.Last, "ParseCidr equals the reference");

    // Text with a colon is an IPv6 block or nothing, however leniently its digits would read as IPv4.
    TNetworkRange set;
    set.Add({ 0, 0 });
    const int count = set.AddCidr(text);
    const bool added = !text.contains(':') && range.First >= 0 && (range.First > 0 || range.Last > 0);
    const bool added6 = text.contains(':') && ParseCidr6(text).has_value();
    VESK_FUZZ_CHECK(count == (added ? 2 : added6 ? 1 : 0) && set.Ranges().size() == (added ? 2 : 1), "AddCidr count");
    if (probe.contains(':')) {
        VESK_FUZZ_CHECK(added6 || !set.Contains(probe), "an IPv6 probe is found in IPv6 blocks only");
        return 0;
    }
    const int64_t address = ParseIPv4(probe);
    const bool inside = address == 0 || (added && address >= 0 && range.First <= address && address <= range.Last);
    VESK_FUZZ_CHECK(set.Contains(probe) == inside, "Contains agrees with the ranges");
    return 0;
}
