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

DispatchedQuery DispatchQuery(const DefinitionTables& definitions, QByteArrayView query)
{
    if (IsIPAddress(query))
        return DispatchedQuery { QueryKind::Address, query.toByteArray() };
    if (const std::optional<IPv6Bytes> v6 = ParseIPv6(query))
        return DispatchedQuery { QueryKind::IPv6, IPv6Text(*v6) };
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
