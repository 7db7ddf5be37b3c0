#include "history/history_recorder.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace vesk {

namespace {

// Searches handed over and not yet written; past this a submitter waits. A few dozen reports' memory, and more
// than a batch's searches finish while the store commits once.
constexpr size_t kMostWaiting = 64;
// Reports that nobody waits for are gathered for this long, or until this many wait, before they are written:
// the pages every commit writes (the index, the totals, the file header) are then written once for all of them.
constexpr auto kGatherTime = std::chrono::milliseconds(5);
constexpr size_t kGatherCount = 32;

} // namespace

HistoryRecorder::HistoryRecorder(QString path, RetentionLimits limits, bool record)
    : m_path(std::move(path))
    , m_limits(limits)
    , m_record(record)
    , m_thread([this] { Run(); })
{ }

HistoryRecorder::~HistoryRecorder()
{
    {
        const std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool HistoryRecorder::Available()
{
    WaitUntilOpen();
    return m_available;
}

QString HistoryRecorder::Error()
{
    WaitUntilOpen();
    return m_error;
}

QString HistoryRecorder::SetAsidePath()
{
    WaitUntilOpen();
    return m_setAside;
}

void HistoryRecorder::WaitUntilOpen()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_open; });
}

std::shared_future<RecordResult> HistoryRecorder::Submit(std::function<SearchRecord()> make, bool compare)
{
    Job job { std::move(make), compare, {} };
    std::shared_future<RecordResult> result = job.Done.get_future().share();
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_jobs.size() < kMostWaiting; });
        m_jobs.push_back(std::move(job));
    }
    m_changed.notify_all();
    return result;
}

void HistoryRecorder::Run()
{
    HistoryStore store(m_path, m_limits);
    {
        const std::lock_guard lock(m_mutex);
        m_open = true;
        m_available = store.Available();
        m_error = store.Error();
        m_setAside = store.SetAsidePath();
    }
    m_changed.notify_all();
    for (;;) {
        std::deque<Job> jobs;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_closing || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            m_changed.wait_for(lock, kGatherTime, [this] {
                return m_closing || m_jobs.size() >= kGatherCount
                    || std::any_of(m_jobs.begin(), m_jobs.end(), [](const Job& job) { return job.Compare; });
            });
            jobs.swap(m_jobs);
        }
        // Room again for the submitters that wait.
        m_changed.notify_all();
        std::vector<SearchRecord> records;
        records.reserve(jobs.size());
        for (Job& job : jobs)
            records.push_back(job.Make());
        std::optional<std::vector<qint64>> ids;
        if (m_record && store.Available())
            ids = store.Record(records);
        const QString error = ids || !m_record ? QString() : store.Error();
        for (size_t i = 0; i < jobs.size(); ++i) {
            RecordResult result;
            if (ids)
                result.Id = (*ids)[i];
            result.Error = error;
            if (jobs[i].Compare)
                result.Changes = CompareWithPrevious(store, records[i], result.Id);
            jobs[i].Done.set_value(std::move(result));
        }
    }
}

} // namespace vesk
