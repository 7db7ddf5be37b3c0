#include "app/search_queue.h"

namespace vesk {

SearchQueue::SearchQueue(Hooks hooks)
    : m_hooks(std::move(hooks))
{ }

void SearchQueue::RequestSearch(const QString& query)
{
    if (m_closeDue)
        return;
    m_requested = query;
    if (m_searching) {
        if (m_hooks.Stop)
            m_hooks.Stop();
        return;
    }
    RunRequested();
}

bool SearchQueue::RequestClose()
{
    if (!m_searching)
        return true;
    m_closeDue = true;
    m_requested.reset();
    if (m_hooks.Stop)
        m_hooks.Stop();
    return false;
}

bool SearchQueue::RequestStartupCheck()
{
    if (!m_searching)
        return true;
    // An update would replace the definitions under the running search.
    m_checkDue = true;
    return false;
}

void SearchQueue::SetQuery(const QString& query)
{
    if (m_searching)
        m_query = query;
}

void SearchQueue::RunRequested()
{
    // Whatever a search throws, the queue is idle again afterwards and nothing waits for a search that is gone.
    struct Idle
    {
        SearchQueue& queue;
        ~Idle()
        {
            queue.m_searching = false;
            queue.m_query.clear();
            if (queue.m_hooks.SearchingChanged)
                queue.m_hooks.SearchingChanged(false);
        }
    };
    {
        m_searching = true;
        if (m_hooks.SearchingChanged)
            m_hooks.SearchingChanged(true);
        const Idle idle { *this };
        while (m_requested && !m_closeDue) {
            m_query = *m_requested;
            m_requested.reset();
            if (m_hooks.Run)
                m_hooks.Run(m_query);
        }
    }
    if (m_closeDue) {
        m_closeDue = false;
        m_checkDue = false;
        if (m_hooks.Close)
            m_hooks.Close();
        return;
    }
    if (m_checkDue) {
        m_checkDue = false;
        if (m_hooks.StartupCheck)
            m_hooks.StartupCheck();
    }
}

} // namespace vesk
