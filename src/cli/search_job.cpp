#include "cli/search_job.h"

#include "lookup/frontend.h"
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <exception>

namespace vesk {

namespace {

// The worksheet kept in memory, or handed on to a printing front end as it is written.
class CollectingFrontend final : public Frontend
{
public:
    CollectingFrontend(ReportLines& lines, Frontend* printer, bool keep)
        : m_lines(lines)
        , m_printer(printer)
        , m_keep(keep || printer == nullptr)
    { }

    void AppendLine(const QString& line) override
    {
        if (m_printer != nullptr)
            m_printer->AppendLine(line);
        if (m_keep)
            m_lines.append(line);
    }
    // A whole reply is kept in one piece, never as a string per line.
    void AppendLines(const QString& lines) override
    {
        if (m_printer != nullptr)
            m_printer->AppendLines(lines);
        if (m_keep)
            m_lines.append(lines);
    }
    void ClearLines() override
    {
        if (m_printer != nullptr)
            m_printer->ClearLines();
    }
    void ShowStatus(const QString& text) override
    {
        if (m_printer != nullptr)
            m_printer->ShowStatus(text);
    }
    void ProcessPendingEvents() override
    {
        if (QCoreApplication::instance() != nullptr)
            QCoreApplication::processEvents();
    }
    QByteArray QueryText() const override { return m_query; }
    void SetQueryText(const QByteArray& text) override { m_query = text; }
    void SetBusy(bool busy) override
    {
        if (m_printer != nullptr)
            m_printer->SetBusy(busy);
    }

private:
    ReportLines& m_lines;
    Frontend* m_printer;
    bool m_keep;
    QByteArray m_query;
};

class CollectingObserver final : public ExchangeObserver
{
public:
    CollectingObserver(SearchOutcome& outcome, const std::function<void(const ExchangeEntry&)>& onExchange)
        : m_outcome(outcome)
        , m_onExchange(onExchange)
    { }

    int ExchangeDone(const ExchangeEntry& entry) override
    {
        m_outcome.Exchanges.append(entry);
        if (m_onExchange)
            m_onExchange(entry);
        return static_cast<int>(m_outcome.Exchanges.size() - 1);
    }
    void LastExchangeShowsNoMatch() override
    {
        QList<ExchangeEntry>& entries = m_outcome.Exchanges;
        if (!entries.isEmpty() && entries.last().Outcome == "answered")
            entries.last().Outcome = "no-match";
    }
    void ExchangeTextWritten(int exchange, const QString& text) override { m_outcome.AddExchangeText(exchange, text); }

private:
    SearchOutcome& m_outcome;
    const std::function<void(const ExchangeEntry&)>& m_onExchange;
};

} // namespace

QString ClosingMessage(const SearchOutcome& outcome, bool batchRule)
{
    if (outcome.NotRun)
        return QStringLiteral("not run.");
    if (!outcome.Error.isEmpty())
        return outcome.Error;
    if (outcome.Stopped)
        return QStringLiteral("Search stopped; the report is incomplete.");
    if (!outcome.EngineAnswered)
        return QStringLiteral("No server answered.");
    if (batchRule && !outcome.GotAnswer())
        return QStringLiteral("Every server that answered refused with a rate-limit notice.");
    return QString();
}

SearchOutcome RunSearch(const SearchSetup& setup, const SearchRoad& road, const QByteArray& query,
                        const SearchWatch& watch)
{
    SearchOutcome outcome;
    outcome.Typed = query;
    CollectingFrontend window(outcome.Lines, watch.Printer, watch.KeepRecord);
    CollectingObserver observer(outcome, watch.OnExchange);
    LookupEngine engine(window, setup.Log, setup.Definitions, road.Transport, road.Rdap, road.Wait, setup.Now);
    engine.Sheet().SetLocale(setup.Locale);
    SearchOptions options;
    options.PauseMilliseconds = setup.PauseMilliseconds;
    // A printed search needs no record of its exchanges, and the observer would copy every reply's text.
    if (watch.Printer == nullptr || watch.KeepRecord)
        options.Observer = &observer;
    options.Pacer = watch.Pacer;
    window.SetQueryText(query);

    outcome.Started = QDateTime::currentDateTimeUtc();
    if (watch.OnEngine)
        watch.OnEngine(&engine);
    try {
        engine.Search(options.WithSettings(setup.Settings));
    } catch (const std::exception& error) {
        outcome.Error = QString::fromLocal8Bit(error.what());
    }
    if (watch.OnEngine)
        watch.OnEngine(nullptr);
    outcome.Ended = QDateTime::currentDateTimeUtc();
    outcome.Sent = window.QueryText();
    outcome.Kind = engine.LastQueryKind();
    outcome.Stopped = engine.WasStopped();
    outcome.EngineAnswered = engine.AnyServerAnswered();
    return outcome;
}

} // namespace vesk
