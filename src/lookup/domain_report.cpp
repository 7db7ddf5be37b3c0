#include "codecs/utf8_decoder.h"
#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "lookup/status_at_exit.h"
#include "settings/settings_store.h"
#include "whois/host_text.h"
#include "whois/ipv4_address.h"

namespace vesk {

void LookupEngine::DomainReport()
{
    if (m_settings.ClearBeforeSearch)
        m_sheet.ClearWorksheet();

    QList<QByteArray> addresses;
    TNetworkRange reported;
    StatusAtExit done(m_sheet, QByteArray(texts::kStatusDone));

    const HostNameParts parts = SplitHostName(QueryText());
    const QByteArray domain = parts.Name + '.' + parts.Tld;
    const TTLDData tld = m_definitions.FindTld(parts.Tld);

    m_sheet.WriteHeaderBox(texts::FormatText(texts::kDomainReportTitle, { UpperAscii(domain) }));
    WriteReply(texts::FormatText(texts::kTldLine, { UpperAscii(tld.Tld), UpperAscii(tld.Description), "\r\n" }));

    bool resolved = false;
    if (m_settings.InclIP) {
        m_sheet.SetStatus(texts::FormatText(texts::kStatusResolving, { UpperAscii(domain) }));
        m_frontend.ProcessPendingEvents();
        QByteArray name = domain;
        QByteArray failure = ResolveHostAddresses(name, addresses);
        if (!failure.isEmpty()) {
            name = QByteArray(texts::kWwwPrefix) + domain;
            failure = ResolveHostAddresses(name, addresses);
        }
        m_sheet.SetStatus(QByteArray());
        if (!failure.isEmpty()) {
            WriteReply(failure);
        } else {
            resolved = true;
            WriteReply(texts::FormatText(texts::kAddressesFor, { name }));
            for (const QByteArray& address : addresses)
                m_sheet.WriteLine(QString::fromLatin1(address));
        }
    }

    const DomainRecord record = DomainDetails(domain, tld.Server);

    if (resolved) {
        // One network section per distinct network: an address inside a block already shown is skipped.
        for (const QByteArray& address : addresses) {
            if (reported.Contains(address))
                continue;
            reported.AddCidr(LookupNetworkDetails(address));
        }
    }

    ContactSearch(domain, record);
    m_sheet.WriteLine(QString());
}

} // namespace vesk
