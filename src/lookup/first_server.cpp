#include "lookup/first_server.h"

#include "defs/definition_tables.h"
#include "lookup/classify.h"
#include "lookup/report_texts.h"
#include "whois/host_text.h"

namespace vesk {

QByteArray FirstServerFor(const DefinitionTables& definitions, QByteArrayView query)
{
    const QByteArray text = TrimText(query);
    if (IsIPAddress(text))
        return texts::kArinWhoisHost;
    if (!definitions.HasKnownTld(text))
        return LowerAscii(kRegistryWhoisHosts[0]);
    const HostNameParts parts = SplitHostName(NormaliseDomainQuery(text));
    return LowerAscii(TrimText(definitions.FindTld(parts.Tld).Server));
}

} // namespace vesk
