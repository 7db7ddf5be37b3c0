#include "lookup/search_dispatch.h"

#include "lookup/classify.h"
#include "whois/domain_ace.h"
#include "whois/host_text.h"
#include "whois/ip_address.h"

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

DispatchedQuery DispatchQuery(const DefinitionTables& definitions, QByteArrayView query)
{
    if (IsIPAddress(query))
        return DispatchedQuery { QueryKind::Address, query.toByteArray() };
    if (const std::optional<IPv6Bytes> v6 = ParseIPv6(query))
        return DispatchedQuery { QueryKind::IPv6, IPv6Text(*v6) };
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
