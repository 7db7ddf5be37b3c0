#include "lookup/address_report.h"

#include "lookup/network_details.h"
#include "lookup/report_texts.h"
#include "lookup/search_options.h"
#include "lookup/server_asker.h"
#include "lookup/worksheet.h"
#include "whois/ip_address.h"

namespace vesk {

AddressReport::AddressReport(ServerAsker& asker, NetworkDetails& network, const SearchOptions& options)
    : m_asker(asker)
    , m_network(network)
    , m_options(options)
{ }

void AddressReport::Write(const QByteArray& query)
{
    Worksheet& sheet = m_asker.Sheet();
    if (m_options.ClearBeforeSearch)
        sheet.ClearWorksheet();
    sheet.WriteHeaderBox(texts::FormatText(texts::kAddressReportTitle, { query }));

    // The box may hold "010.001.002.003" or inner blanks; servers and the resolver get the plain dotted form.
    const int64_t value = ParseIPv4(query);
    if (value >= 0) {
        const uint32_t number = static_cast<uint32_t>(value);
        const QByteArray address = AddressText(number);
        if (m_options.InclDomain) {
            const QByteArray name = m_asker.ReverseName(number);
            if (name.isEmpty()) {
                m_asker.WriteReply(texts::FormatText(texts::kNoDomainNameFor, { address }));
            } else {
                m_asker.WriteReply(texts::FormatText(texts::kDomainNameFor, { address }));
                m_asker.WriteReply(name);
            }
        }
        m_network.Lookup(address);
    }

    sheet.WriteLine(QString());
    sheet.SetStatus(QByteArray(texts::kStatusDone));
}

} // namespace vesk
