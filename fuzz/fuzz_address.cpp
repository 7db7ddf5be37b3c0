// Address parsing against plain references written from the rules: ParseIPv4 keeps only digits and dots, drops
// one leading and one trailing dot, and needs exactly four decimal numbers 0 to 255 (leading zeros allowed);
// ParseCidr takes the digits after the first "/" as the prefix length (32 when unusable); LastDotPos is the
// position of the last dot counted from 1. TNetworkRange must agree with the ranges it holds.
// Input: the text to parse; a second text after the first NUL is the address that Contains is asked about.

#include "defs/net_data.h"
#include "fuzz_check.h"
#include "whois/host_text.h"

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

    const TIPRange range = ParseCidr(text);
    const TIPRange expected = ReferenceCidr(text);
    VESK_FUZZ_CHECK(range.First == expected.First && range.Last == expected.Last, "ParseCidr equals the reference");

    TNetworkRange set;
    set.Add({ 0, 0 });
    const int count = set.AddCidr(text);
    const bool added = range.First > 0 || range.Last > 0;
    VESK_FUZZ_CHECK(count == (added ? 2 : 0) && set.Ranges().size() == (added ? 2 : 1), "AddCidr count");
    const int64_t address = ParseIPv4(probe);
    const bool inside = address == 0 || (added && address >= 0 && range.First <= address && address <= range.Last);
    VESK_FUZZ_CHECK(set.Contains(probe) == inside, "Contains agrees with the ranges");
    return 0;
}
