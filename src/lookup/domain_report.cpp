#include "lookup/domain_report.h"

#include "defs/definition_tables.h"
#include "lookup/contact_search.h"
#include "lookup/domain_details.h"
#include "lookup/network_details.h"
#include "lookup/report_texts.h"
#include "lookup/search_dispatch.h"
#include "lookup/search_options.h"
#include "lookup/server_asker.h"
#include "lookup/status_at_exit.h"
#include "lookup/worksheet.h"
#include "whois/host_text.h"
#include "whois/ip_address.h"

namespace vesk {

DomainReport::DomainReport(ServerAsker& asker, DomainDetails& details, NetworkDetails& network, ContactSearch& contacts,
                           const DefinitionTables& definitions, const SearchOptions& options)
    : m_asker(asker)
    , m_details(details)
    , m_network(network)
    , m_contacts(contacts)
    , m_definitions(definitions)
    , m_options(options)
{ }

void DomainReport::Write(const QByteArray& query)
{
    Worksheet& sheet = m_asker.Sheet();
    if (m_options.ClearBeforeSearch)
        sheet.ClearWorksheet();

    QList<QByteArray> addresses;
    TNetworkRange reported;
    StatusAtExit done(sheet, QByteArray(texts::kStatusDone));

    const DomainTarget target = DomainTargetFor(m_definitions, query);
    const QByteArray& domain = target.Domain;
    sheet.WriteHeaderBox(texts::FormatText(texts::kDomainReportTitle, { UpperAscii(target.Typed) }));
    // The TLD as the user typed it (its own script for an IDN TLD); the tables, and the wire, hold its A-label.
    const QByteArray typedTld = SplitHostName(target.Typed).Tld;
    m_asker.WriteReply(texts::FormatText(
        texts::kTldLine,
        { UpperAscii(typedTld.isEmpty() ? target.Tld.Tld : typedTld), UpperAscii(target.Tld.Description), "\r\n" }));
    if (!target.Convertible) {
        m_asker.WriteReply(texts::FormatText(texts::kCannotConvert, { target.Typed, target.AceError }));
        sheet.WriteLine(QString());
        return;
    }

    bool resolved = false;
    if (m_options.InclIP) {
        m_asker.Announce(texts::FormatText(texts::kStatusResolving, { UpperAscii(domain) }));
        QByteArray name = domain;
        QByteArray failure = m_asker.ResolveHostAddresses(name, addresses);
        if (!failure.isEmpty()) {
            name = QByteArray(texts::kWwwPrefix) + domain;
            failure = m_asker.ResolveHostAddresses(name, addresses);
        }
        sheet.SetStatus(QByteArray());
        if (!failure.isEmpty()) {
            m_asker.WriteReply(failure);
        } else {
            resolved = true;
            m_asker.WriteReply(texts::FormatText(texts::kAddressesFor, { name }));
            for (const QByteArray& address : addresses)
                sheet.WriteLine(QString::fromLatin1(address));
        }
    }

    const DomainRecord record = m_details.Lookup(domain, target.Tld.Server);

    if (resolved) {
        // One network section per distinct network: an address inside a block already shown is skipped.
        for (const QByteArray& address : addresses) {
            if (reported.Contains(address))
                continue;
            reported.AddCidr(m_network.Lookup(address));
        }
    }

    m_contacts.Search(record);
    sheet.WriteLine(QString());
}

} // namespace vesk
