#include "lookup/first_server.h"

#include "defs/definition_tables.h"
#include "lookup/classify.h"
#include "lookup/report_texts.h"
#include "lookup/search_dispatch.h"
#include "whois/host_text.h"

namespace vesk {

QByteArray FirstServerFor(const DefinitionTables& definitions, QByteArrayView query)
{
    DispatchedQuery dispatched;
    try {
        dispatched = DispatchQuery(definitions, SearchText(query));
    } catch (const QueryTooLongError&) {
        // Nothing is asked for it: the search itself says why.
        return QByteArray();
    }
    switch (dispatched.Kind) {
    case QueryKind::Address:
    case QueryKind::IPv6:
    case QueryKind::Asn:
    case QueryKind::Cidr:
        return texts::kArinWhoisHost;
    case QueryKind::Plain:
        return LowerAscii(kRegistryWhoisHosts[0]);
    case QueryKind::Domain:
        break;
    }
    const DomainTarget target = DomainTargetFor(definitions, dispatched.Query);
    if (!target.Convertible)
        return QByteArray();
    return LowerAscii(TrimText(target.Tld.Server));
}

} // namespace vesk
