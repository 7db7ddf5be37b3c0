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
        const auto number = static_cast<uint32_t>(value);
        WriteBody(AddressText(number), [this, number] { return m_asker.ReverseName(number); });
        return;
    }
    WriteEnd();
}

void AddressReport::WriteIPv6(const QByteArray& query)
{
    Worksheet& sheet = m_asker.Sheet();
    if (m_options.ClearBeforeSearch)
        sheet.ClearWorksheet();
    sheet.WriteHeaderBox(texts::FormatText(texts::kAddressReportTitle, { query }));
    const std::optional<IPv6Bytes> bytes = ParseIPv6(query);
    if (!bytes) {
        WriteEnd();
        return;
    }
    const QByteArray address = IPv6Text(*bytes);
    WriteBody(address, [this, &address] { return m_asker.ReverseName6(address); });
}

void AddressReport::WriteNetwork(const QByteArray& query)
{
    Worksheet& sheet = m_asker.Sheet();
    if (m_options.ClearBeforeSearch)
        sheet.ClearWorksheet();
    sheet.WriteHeaderBox(texts::FormatText(texts::kNetworkReportTitle, { query }));
    const qsizetype slash = query.indexOf('/');
    if (slash > 0)
        m_network.Lookup(query.left(slash), query);
    WriteEnd();
}

void AddressReport::WriteBody(const QByteArray& address, const std::function<QByteArray()>& reverseName)
{
    if (m_options.InclDomain) {
        const QByteArray name = reverseName();
        if (name.isEmpty()) {
            m_asker.WriteReply(texts::FormatText(texts::kNoDomainNameFor, { address }));
        } else {
            m_asker.WriteReply(texts::FormatText(texts::kDomainNameFor, { address }));
            m_asker.WriteReply(name);
        }
    }
    m_network.Lookup(address);
    WriteEnd();
}

void AddressReport::WriteEnd()
{
    Worksheet& sheet = m_asker.Sheet();
    sheet.WriteLine(QString());
    sheet.SetStatus(QByteArray(texts::kStatusDone));
}

} // namespace vesk
