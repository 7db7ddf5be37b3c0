#include "lookup/lookup_engine.h"

#include "common/log_sink.h"
#include "lookup/frontend.h"
#include "lookup/report_texts.h"
#include "whois/host_text.h"

namespace vesk {

namespace {

// Restores the cursor and then sets the stop flag, however the search ends.
class SearchGuard
{
public:
    SearchGuard(Frontend& frontend, ServerAsker& asker)
        : m_frontend(frontend)
        , m_asker(asker)
    { }
    ~SearchGuard()
    {
        try {
            m_frontend.SetBusy(false);
        } catch (...) {
            // The stop flag must be set even when the window cannot restore its cursor.
        }
        m_asker.EndSearch();
    }
    SearchGuard(const SearchGuard&) = delete;
    SearchGuard& operator=(const SearchGuard&) = delete;

private:
    Frontend& m_frontend;
    ServerAsker& m_asker;
};

} // namespace

LookupEngine::LookupEngine(Frontend& frontend, LogSink& log, const DefinitionTables& definitions,
                           WhoisTransport& transport, RdapSource* rdap, EventWait& wait, Clock clock)
    : m_frontend(frontend)
    , m_log(log)
    , m_definitions(definitions)
    , m_sheet(frontend, std::move(clock))
    , m_asker(frontend, m_sheet, transport, rdap, wait, m_options)
    , m_rdap(m_asker, m_options)
    , m_network(m_asker, m_rdap, definitions, m_options)
    , m_contacts(m_asker, definitions, m_options)
    , m_details(m_asker, m_rdap, definitions, m_options)
    , m_domainReport(m_asker, m_details, m_network, m_contacts, definitions, m_options)
    , m_addressReport(m_asker, m_network, m_options)
    , m_asReport(m_asker, m_rdap, definitions, m_options)
    , m_plainQuery(m_asker, m_options)
{ }

void LookupEngine::Search(const SearchOptions& options)
{
    // A search started inside a running one takes over its options too: the outer one only ends after it.
    m_options = options;
    m_asker.BeginSearch();
    m_frontend.SetBusy(true);
    SearchGuard guard(m_frontend, m_asker);

    const QByteArray query = SearchText(m_frontend.QueryText());
    m_frontend.SetQueryText(query);
    m_log.Write(QByteArray(texts::kLogQuery) + query);

    const DispatchedQuery dispatched = DispatchQuery(m_definitions, query);
    m_kind = dispatched.Kind;
    if (dispatched.Kind != QueryKind::Address && dispatched.Kind != QueryKind::Plain)
        m_frontend.SetQueryText(dispatched.Query);
    // The reports read the query box again: what the user sees there is what is reported.
    switch (dispatched.Kind) {
    case QueryKind::Address:
        m_addressReport.Write(m_frontend.QueryText());
        break;
    case QueryKind::IPv6:
        m_addressReport.WriteIPv6(m_frontend.QueryText());
        break;
    case QueryKind::Cidr:
        m_addressReport.WriteNetwork(m_frontend.QueryText());
        break;
    case QueryKind::Asn:
        m_asReport.Write(m_frontend.QueryText());
        break;
    case QueryKind::Domain:
        m_domainReport.Write(m_frontend.QueryText());
        break;
    case QueryKind::Plain:
        m_plainQuery.Write(m_frontend.QueryText());
        break;
    }
}

} // namespace vesk
