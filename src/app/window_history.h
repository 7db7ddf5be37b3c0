/// The window's history: every search of the window recorded on a thread of its own, and the section that says
/// what changed since the previous report.
#pragma once

#include "history/history_store.h"
#include "lookup/exchange_observer.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>

class QObject;
class QThread;

namespace vesk {

/// The history store on a thread of its own, so that a store another program holds locked never freezes the
/// window. The store is opened at the first job (not at start-up); every job runs there, one after the other.
class HistoryThread
{
public:
    using Job = std::function<void(HistoryStore& store)>;

    HistoryThread(QString path, RetentionLimits limits);
    ~HistoryThread();
    HistoryThread(const HistoryThread&) = delete;
    HistoryThread& operator=(const HistoryThread&) = delete;

    /// Runs `job` on the history thread after the jobs posted before it.
    void Post(Job job);
    /// Runs `job` on the history thread and gives its result, handling the window's events while it waits.
    template <typename Result> Result Await(std::function<Result(HistoryStore&)> job);

    QString Path() const { return m_path; }

private:
    void WaitForPosted(const std::function<void(HistoryStore&)>& job);

    QString m_path;
    RetentionLimits m_limits;
    std::unique_ptr<QThread> m_thread;
    QObject* m_worker = nullptr; ///< lives on the history thread; jobs are queued to it
    std::unique_ptr<HistoryStore> m_store; ///< used on the history thread only
};

template <typename Result> Result HistoryThread::Await(std::function<Result(HistoryStore&)> job)
{
    Result result {};
    WaitForPosted([&result, &job](HistoryStore& store) { result = job(store); });
    return result;
}

/// What the window keeps of one search while it runs: the lines it writes and the exchanges it makes (handed on
/// to the observer the window already had, if any).
class SearchCapture final : public ExchangeObserver
{
public:
    /// Starts a new capture for the query as typed; `next` (may be null) hears of every exchange too.
    void Begin(const QString& typed, ExchangeObserver* next);
    /// Takes the worksheet text written (lines separated by LF) while a capture runs.
    void Written(const QString& lines);
    /// The worksheet was cleared: the report is what follows.
    void Cleared() { m_lines.clear(); }
    /// The search as the history records it; the capture ends.
    SearchRecord Finish(const QString& sent, QueryKind kind, bool stopped, bool answered);
    bool Active() const { return m_active; }

    int ExchangeDone(const ExchangeEntry& entry) override;
    void LastExchangeShowsNoMatch() override;
    void ExchangeTextWritten(int exchange, const QString& text) override;

private:
    bool m_active = false;
    QString m_typed;
    QDateTime m_started;
    QStringList m_lines;
    QList<ExchangeSummary> m_exchanges;
    ExchangeObserver* m_next = nullptr;
};

/// How recording one search of the window went.
struct WindowRecordOutcome
{
    QStringList Section; ///< the lines that end the report: the changes since the previous report, or none
    QString Problem; ///< why the search was not recorded; empty when it was
};

/// Records `search` in the store of `history` and, for an answered search with an earlier answered report of the
/// same query and kind, gives the section that says what changed.
WindowRecordOutcome RecordWindowSearch(HistoryThread& history, const SearchRecord& search);

/// The first line of a stored report shown again: which query, when it was recorded, that no server was asked.
QString StoredCopyMark(const StoredReport& report);

} // namespace vesk
