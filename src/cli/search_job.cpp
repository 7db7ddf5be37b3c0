#include "cli/search_job.h"

#include "lookup/rdap_source.h"
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <exception>

namespace vesk {

namespace {

// The worksheet kept in memory, line by line, exactly as the printing front end would print it.
class CollectingFrontend final : public Frontend
{
public:
    explicit CollectingFrontend(QStringList& lines)
        : m_lines(lines)
    { }

    void AppendLine(const QString& line) override { m_lines.append(line); }
    void ClearLines() override { }
    void ShowStatus(const QString&) override { }
    void ProcessPendingEvents() override
    {
        if (QCoreApplication::instance() != nullptr)
            QCoreApplication::processEvents();
    }
    QByteArray QueryText() const override { return m_query; }
    void SetQueryText(const QByteArray& text) override { m_query = text; }
    void SetBusy(bool) override { }

private:
    QStringList& m_lines;
    QByteArray m_query;
};

class CollectingObserver final : public ExchangeObserver
{
public:
    CollectingObserver(QList<ExchangeEntry>& entries, const std::function<void(const ExchangeEntry&)>& onExchange)
        : m_entries(entries)
        , m_onExchange(onExchange)
    { }

    int ExchangeDone(const ExchangeEntry& entry) override
    {
        m_entries.append(entry);
        if (m_onExchange)
            m_onExchange(entry);
        return static_cast<int>(m_entries.size() - 1);
    }
    void LastExchangeShowsNoMatch() override
    {
        if (!m_entries.isEmpty() && m_entries.last().Outcome == "answered")
            m_entries.last().Outcome = "no-match";
    }
    void ExchangeTextWritten(int exchange, const QString& text) override
    {
        if (exchange < 0 || exchange >= m_entries.size())
            return;
        QString& written = m_entries[exchange].Text;
        written = written.isEmpty() ? text : written + u'\n' + text;
    }

private:
    QList<ExchangeEntry>& m_entries;
    const std::function<void(const ExchangeEntry&)>& m_onExchange;
};

} // namespace

int SearchOutcome::ExitStatus() const
{
    return Stopped || NotRun || !Error.isEmpty() || !EngineAnswered ? 1 : 0;
}

bool SearchOutcome::GotAnswer() const
{
    if (ExitStatus() != 0)
        return false;
    for (const ExchangeEntry& entry : Exchanges) {
        if (entry.Answered)
            return true;
    }
    return false;
}

QString SearchOutcome::Complaint(bool batchRule) const
{
    if (NotRun)
        return QStringLiteral("not run.");
    if (!Error.isEmpty())
        return Error;
    if (Stopped)
        return QStringLiteral("Search stopped; the report is incomplete.");
    if (!EngineAnswered)
        return QStringLiteral("No server answered.");
    if (batchRule && !GotAnswer())
        return QStringLiteral("Every server that answered refused with a rate-limit notice.");
    return QString();
}

SearchOutcome RunSearch(const SearchSetup& setup, WhoisTransport& transport, RdapTransport* rdap, EventWait& wait,
                        HostPacer* pacer, const QByteArray& query, const std::function<void(LookupEngine*)>& onEngine,
                        const std::function<void(const ExchangeEntry&)>& onExchange)
{
    SearchOutcome outcome;
    outcome.Typed = query;
    CollectingFrontend window(outcome.Lines);
    CollectingObserver observer(outcome.Exchanges, onExchange);
    FixedRdapSource rdapSource(rdap, setup.Bootstrap);
    LookupEngine engine(window, setup.Log, setup.Definitions, transport, &rdapSource, wait, setup.Now);
    engine.Sheet().SetLocale(setup.Locale);
    SearchOptions options;
    options.PauseMilliseconds = setup.PauseMilliseconds;
    options.Observer = &observer;
    options.Pacer = pacer;
    window.SetQueryText(query);

    outcome.Started = QDateTime::currentDateTimeUtc();
    if (onEngine)
        onEngine(&engine);
    try {
        engine.Search(options.WithSettings(setup.Settings));
    } catch (const std::exception& error) {
        outcome.Error = QString::fromLocal8Bit(error.what());
    }
    if (onEngine)
        onEngine(nullptr);
    outcome.Ended = QDateTime::currentDateTimeUtc();
    outcome.Sent = window.QueryText();
    outcome.Kind = engine.LastQueryKind();
    outcome.Stopped = engine.WasStopped();
    outcome.EngineAnswered = engine.AnyServerAnswered();
    return outcome;
}

} // namespace vesk
