#include "lookup/search_dispatch.h"

#include "lookup/classify.h"
#include "whois/domain_ace.h"
#include "whois/host_text.h"
#include "whois/ip_address.h"

#include <algorithm>

namespace vesk {

QByteArray SearchText(QByteArrayView typed)
{
    return AsciiDots(TrimText(typed));
}

bool HasKnownTld(const DefinitionTables& definitions, QByteArrayView text)
{
    if (definitions.HasKnownTld(text))
        return true;
    // The tables hold IDN TLDs as A-labels: a TLD typed in its own script is looked up by its ASCII form.
    const HostNameParts parts = SplitHostName(text);
    const AceDomain tld = DomainToAce(parts.Tld);
    return tld.Ok && tld.Ace != parts.Tld && definitions.HasKnownTld("x." + tld.Ace);
}

std::optional<uint32_t> ParseAsNumberQuery(QByteArrayView text)
{
    if (text.size() < 3 || (text[0] != 'A' && text[0] != 'a') || (text[1] != 'S' && text[1] != 's'))
        return std::nullopt;
    QByteArrayView digits = text.sliced(2);
    while (!digits.isEmpty() && (digits.front() == ' ' || digits.front() == '\t'))
        digits = digits.sliced(1);
    while (digits.size() > 1 && digits.front() == '0')
        digits = digits.sliced(1);
    if (digits.isEmpty() || digits.size() > 10)
        return std::nullopt;
    uint64_t number = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    if (number > 0xFFFFFFFFU)
        return std::nullopt;
    return static_cast<uint32_t>(number);
}

std::optional<QByteArray> ParseCidrQuery(QByteArrayView text)
{
    const qsizetype slash = text.indexOf('/');
    if (slash < 0)
        return std::nullopt;
    const QByteArrayView address = text.first(slash);
    const QByteArrayView digits = text.sliced(slash + 1);
    if (digits.isEmpty() || digits.size() > 3)
        return std::nullopt;
    int length = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        length = length * 10 + (c - '0');
    }
    const QByteArray suffix = '/' + QByteArray::number(length);
    const int64_t v4 = ParseIPv4(address, IPv4Form::Strict);
    if (v4 >= 0) {
        if (length > 32)
            return std::nullopt;
        const uint32_t mask = length == 0 ? 0 : ~uint32_t(0) << (32 - length);
        return AddressText(static_cast<uint32_t>(v4) & mask) + suffix;
    }
    std::optional<IPv6Bytes> v6 = ParseIPv6(address);
    if (!v6 || length > 128)
        return std::nullopt;
    for (int i = 0; i < 16; ++i) {
        const int bits = std::clamp(length - 8 * i, 0, 8);
        (*v6)[static_cast<size_t>(i)] &= static_cast<uint8_t>(bits == 0 ? 0 : 0xFF << (8 - bits));
    }
    return IPv6Text(*v6) + suffix;
}

DispatchedQuery DispatchQuery(const DefinitionTables& definitions, QByteArrayView query)
{
    if (IsIPAddress(query))
        return DispatchedQuery { QueryKind::Address, query.toByteArray() };
    if (const std::optional<IPv6Bytes> v6 = ParseIPv6(query))
        return DispatchedQuery { QueryKind::IPv6, IPv6Text(*v6) };
    if (const std::optional<QByteArray> prefix = ParseCidrQuery(query))
        return DispatchedQuery { QueryKind::Cidr, *prefix };
    if (const std::optional<uint32_t> number = ParseAsNumberQuery(query))
        return DispatchedQuery { QueryKind::Asn, "AS" + QByteArray::number(*number) };
    if (HasKnownTld(definitions, query))
        return DispatchedQuery { QueryKind::Domain, NormaliseDomainQuery(query) };
    return DispatchedQuery { QueryKind::Plain, query.toByteArray() };
}

DomainTarget DomainTargetFor(const DefinitionTables& definitions, QByteArrayView query)
{
    DomainTarget target;
    // The header keeps what the user typed; everything sent on the wire is the ASCII form (A-labels).
    const HostNameParts parts = SplitHostName(query);
    target.Typed = parts.Name + '.' + parts.Tld;
    const AceDomain ace = DomainToAce(target.Typed);
    target.Convertible = ace.Ok;
    target.AceError = ace.Error;
    target.Domain = ace.Ok ? ace.Ace : target.Typed;
    const AceDomain aceTld = DomainToAce(parts.Tld);
    target.Tld = definitions.FindTld(aceTld.Ok ? aceTld.Ace : parts.Tld);
    return target;
}

} // namespace vesk
