/// The history store on a thread of its own for the command line: opened while the search runs, and a batch's
/// reports written together, so that neither stands in a search's way.
#pragma once

#include "history/history_store.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace vesk {

/// What became of one submitted search.
struct RecordResult
{
    std::optional<qint64> Id; ///< the id the store gave it; none when it was not recorded
    QString Error; ///< why it was not recorded, when it was to be
    std::optional<ChangesSincePrevious> Changes; ///< when asked for: what changed since the previous report
};

/// One connection to the history store, opened at once on a thread of its own, where every call runs in the order
/// submitted. The searches that wait when the thread comes to them are recorded in one transaction. The destructor
/// records everything submitted before it returns, so nothing handed over is lost when the program ends normally.
class HistoryRecorder
{
public:
    /// Starts opening the store at `path`; `record` false: searches are only compared, never recorded.
    HistoryRecorder(QString path, RetentionLimits limits, bool record);
    ~HistoryRecorder();
    HistoryRecorder(const HistoryRecorder&) = delete;
    HistoryRecorder& operator=(const HistoryRecorder&) = delete;

    /// Waits until the store is open, then: whether it can be used, why not, and where a broken file went.
    bool Available();
    QString Error();
    QString SetAsidePath();

    /// Hands over a finished search: `make` gives its record on the history thread (reading the report's fields
    /// there too). Waits while many submitted searches are still unwritten, so that a slow store bounds the
    /// memory they hold.
    std::shared_future<RecordResult> Submit(std::function<SearchRecord()> make, bool compare);

private:
    struct Job
    {
        std::function<SearchRecord()> Make;
        bool Compare = false;
        std::promise<RecordResult> Done;
    };
    void Run();
    void WaitUntilOpen();

    const QString m_path;
    const RetentionLimits m_limits;
    const bool m_record;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_jobs;
    bool m_open = false;
    bool m_closing = false;
    bool m_available = false;
    QString m_error;
    QString m_setAside;
    std::thread m_thread; ///< last: it starts once everything above is made
};

} // namespace vesk
