#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "settings/settings_store.h"
#include "whois/ip_address.h"

namespace vesk {

void LookupEngine::AddressReport()
{
    if (m_settings.ClearBeforeSearch)
        m_sheet.ClearWorksheet();
    const QByteArray query = QueryText();
    m_sheet.WriteHeaderBox(texts::FormatText(texts::kAddressReportTitle, { query }));

    // The box may hold "010.001.002.003" or inner blanks; servers and the resolver get the plain dotted form.
    const int64_t value = ParseIPv4(query);
    if (value >= 0) {
        const uint32_t number = static_cast<uint32_t>(value);
        const QByteArray address = AddressText(number);
        if (m_settings.InclDomain) {
            const QByteArray name = m_transport.ReverseName(number, m_stop);
            if (name.isEmpty()) {
                WriteReply(texts::FormatText(texts::kNoDomainNameFor, { address }));
            } else {
                WriteReply(texts::FormatText(texts::kDomainNameFor, { address }));
                WriteReply(name);
            }
        }
        LookupNetworkDetails(address);
    }

    m_sheet.WriteLine(QString());
    m_sheet.SetStatus(QByteArray(texts::kStatusDone));
}

} // namespace vesk
