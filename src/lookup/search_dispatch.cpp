#include "common/log_sink.h"
#include "defs/definition_tables.h"
#include "lookup/classify.h"
#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "settings/settings_store.h"
#include "whois/host_text.h"

namespace vesk {

namespace {

// Restores the cursor and then sets the stop flag, however the search ends.
class SearchGuard
{
public:
    SearchGuard(Frontend& frontend, bool& stop)
        : m_frontend(frontend)
        , m_stop(stop)
    { }
    ~SearchGuard()
    {
        try {
            m_frontend.SetBusy(false);
        } catch (...) {
            // The stop flag must be set even when the window cannot restore its cursor.
        }
        m_stop = true;
    }
    SearchGuard(const SearchGuard&) = delete;
    SearchGuard& operator=(const SearchGuard&) = delete;

private:
    Frontend& m_frontend;
    bool& m_stop;
};

} // namespace

void LookupEngine::Search()
{
    m_stop = false;
    m_frontend.SetBusy(true);
    SearchGuard guard(m_frontend, m_stop);

    const QByteArray query = TrimText(m_frontend.QueryText());
    m_frontend.SetQueryText(query);
    m_log.Write(QByteArray(texts::kLogQuery) + query);

    if (IsIPAddress(query)) {
        AddressReport();
    } else if (HasKnownTld(query)) {
        m_frontend.SetQueryText(NormaliseDomainQuery(query));
        DomainReport();
    } else {
        PlainQuery();
    }
}

bool LookupEngine::HasKnownTld(QByteArrayView text) const
{
    return m_definitions.HasKnownTld(text);
}

void LookupEngine::PlainQuery()
{
    if (m_settings.ClearBeforeSearch)
        m_sheet.ClearWorksheet();
    const QByteArray server(kRegistryWhoisHosts[0]);
    const QByteArray query = QueryText();
    m_sheet.WriteHeaderBox(texts::FormatText(texts::kPlainQueryTitle, { UpperAscii(server), UpperAscii(query) }));
    // No filtering and no stand-in text: the user asked this server directly and sees exactly its answer.
    WriteReply(QueryServer(server, query, texts::kWhoisPort, Pause::No, HostSource::Fixed));
    m_sheet.WriteLine(QString());
    m_sheet.SetStatus(QByteArray(texts::kStatusDone));
}

} // namespace vesk
