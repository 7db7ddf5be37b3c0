#include "codecs/utf8_decoder.h"
#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "lookup/status_at_exit.h"
#include "settings/settings_store.h"
#include "whois/domain_ace.h"
#include "whois/host_text.h"
#include "whois/ip_address.h"

namespace vesk {

void LookupEngine::DomainReport()
{
    if (m_settings.ClearBeforeSearch)
        m_sheet.ClearWorksheet();

    QList<QByteArray> addresses;
    TNetworkRange reported;
    StatusAtExit done(m_sheet, QByteArray(texts::kStatusDone));

    // The header keeps what the user typed; everything sent on the wire is the ASCII form (A-labels).
    const HostNameParts parts = SplitHostName(QueryText());
    const QByteArray typed = parts.Name + '.' + parts.Tld;
    const AceDomain ace = DomainToAce(typed);
    const QByteArray domain = ace.Ok ? ace.Ace : typed;
    const AceDomain aceTld = DomainToAce(parts.Tld);
    const TTLDData tld = m_definitions.FindTld(aceTld.Ok ? aceTld.Ace : parts.Tld);

    m_sheet.WriteHeaderBox(texts::FormatText(texts::kDomainReportTitle, { UpperAscii(typed) }));
    WriteReply(texts::FormatText(texts::kTldLine, { UpperAscii(tld.Tld), UpperAscii(tld.Description), "\r\n" }));
    if (!ace.Ok) {
        WriteReply(texts::FormatText(texts::kCannotConvert, { typed, ace.Error }));
        m_sheet.WriteLine(QString());
        return;
    }

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
