#include "common/log_sink.h"
#include "defs/definition_tables.h"
#include "lookup/classify.h"
#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "settings/settings_store.h"
#include "whois/domain_ace.h"
#include "whois/host_text.h"

namespace vesk {

namespace {

// Restores the cursor and then sets the stop flag, however the search ends.
class SearchGuard
{
public:
    SearchGuard(Frontend& frontend, StopRequest& stop, bool& searching)
        : m_frontend(frontend)
        , m_stop(stop)
        , m_searching(searching)
    { }
    ~SearchGuard()
    {
        try {
            m_frontend.SetBusy(false);
        } catch (...) {
            // The stop flag must be set even when the window cannot restore its cursor.
        }
        m_stop.Request();
        m_searching = false;
    }
    SearchGuard(const SearchGuard&) = delete;
    SearchGuard& operator=(const SearchGuard&) = delete;

private:
    Frontend& m_frontend;
    StopRequest& m_stop;
    bool& m_searching;
};

} // namespace

void LookupEngine::Search()
{
    m_stop.Clear();
    m_stopMet = false;
    m_stopped = false;
    m_anyAnswered = false;
    m_searching = true;
    m_frontend.SetBusy(true);
    SearchGuard guard(m_frontend, m_stop, m_searching);

    // Full stops typed by East Asian input methods separate labels like '.'.
    const QByteArray query = AsciiDots(TrimText(m_frontend.QueryText()));
    m_frontend.SetQueryText(query);
    m_log.Write(QByteArray(texts::kLogQuery) + query);

    if (IsIPAddress(query)) {
        m_kind = QueryKind::Address;
        AddressReport();
    } else if (HasKnownTld(query)) {
        m_kind = QueryKind::Domain;
        m_frontend.SetQueryText(NormaliseDomainQuery(query));
        DomainReport();
    } else {
        m_kind = QueryKind::Plain;
        PlainQuery();
    }
}

bool LookupEngine::HasKnownTld(QByteArrayView text) const
{
    if (m_definitions.HasKnownTld(text))
        return true;
    // The tables hold IDN TLDs as A-labels: a TLD typed in its own script is looked up by its ASCII form.
    const HostNameParts parts = SplitHostName(text);
    const AceDomain tld = DomainToAce(parts.Tld);
    return tld.Ok && tld.Ace != parts.Tld && m_definitions.HasKnownTld("x." + tld.Ace);
}

void LookupEngine::PlainQuery()
{
    if (m_settings.ClearBeforeSearch)
        m_sheet.ClearWorksheet();
    const QByteArray server(kRegistryWhoisHosts[0]);
    const QByteArray query = QueryText();
    m_sheet.WriteHeaderBox(texts::FormatText(texts::kPlainQueryTitle, { UpperAscii(server), UpperAscii(query) }));
    // No filtering and no stand-in text for a reply: the user asked this server directly and sees exactly its
    // answer. Only a failure is named.
    const ServerAnswer answer = QueryServer(server, query, texts::kWhoisPort, Pause::No, HostSource::Fixed);
    if (answer.Reply.isEmpty() && answer.Failure != ExchangeFailure::None) {
        if (answer.Silent)
            m_sheet.WriteLine(QString());
        else
            WriteNoAnswer(answer);
    } else {
        WriteReply(answer.Reply, answer);
    }
    m_sheet.WriteLine(QString());
    m_sheet.SetStatus(QByteArray(texts::kStatusDone));
}

} // namespace vesk
