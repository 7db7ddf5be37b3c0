/// The search request queue: what the window does with searches, a close and the start-up check asked for
/// while a search runs.
#pragma once

#include <QString>
#include <functional>
#include <optional>

namespace vesk {

/// Searches run inside the handler that started them and handle the window's events while they wait, so a new
/// search, a close or the start-up check can be asked for from inside a running one. Running them there would
/// nest them inside the first search; the queue runs them once it has returned instead. Needs no widgets.
class SearchQueue
{
public:
    /// What the queue makes happen; every hook may be empty.
    struct Hooks
    {
        /// Runs one search for `query` to its end. It may ask the queue for more meanwhile; it should not throw
        /// (the queue stays consistent if it does, and the error goes on to the caller).
        std::function<void(const QString& query)> Run;
        /// Stops the running search: its exchange in progress ends and it returns soon.
        std::function<void()> Stop;
        /// The close that waited for the search.
        std::function<void()> Close;
        /// The start-up check that waited for the search.
        std::function<void()> StartupCheck;
        /// A search started (true) or the last one returned (false).
        std::function<void(bool searching)> SearchingChanged;
    };

    explicit SearchQueue(Hooks hooks);

    /// Searches for `query`. Asked while a search runs, it stops that one and runs once it has returned; the
    /// latest such request wins. Ignored once a close waits.
    void RequestSearch(const QString& query);
    /// True when nothing runs and the window may close now. Otherwise the search is stopped, a search asked for
    /// meanwhile is dropped, and the Close hook runs once the search has returned.
    bool RequestClose();
    /// True when the start-up check may run now; otherwise it runs once the search has returned.
    bool RequestStartupCheck();

    bool IsSearching() const { return m_searching; }
    /// The running search's own copy of its query (the query box may already hold the next one); empty between
    /// searches.
    QString Query() const { return m_query; }
    /// The running search rewrote its query (a normalised domain name).
    void SetQuery(const QString& query);

private:
    void RunRequested();

    Hooks m_hooks;
    bool m_searching = false;
    std::optional<QString> m_requested;
    QString m_query;
    bool m_closeDue = false;
    bool m_checkDue = false;
};

} // namespace vesk
