// The search request queue on its own: searches that ask for more while they run, as the window's do.
#include "app/search_queue.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <initializer_list>
#include <stdexcept>

using namespace vesk;

namespace {

QStringList Events(std::initializer_list<const char*> names)
{
    QStringList events;
    for (const char* name : names)
        events << QString::fromLatin1(name);
    return events;
}

// A queue whose searches are scripted: each run may ask the queue for something before it returns.
struct ScriptedQueue
{
    QStringList events;
    std::function<void(const QString&)> duringRun;
    SearchQueue queue {
        { .Run =
              [this](const QString& query) {
                  events << QStringLiteral("run ") + query;
                  if (duringRun)
                      duringRun(query);
              },
          .Stop = [this] { events << QStringLiteral("stop"); },
          .Close = [this] { events << QStringLiteral("close"); },
          .StartupCheck = [this] { events << QStringLiteral("check"); },
          .SearchingChanged
          = [this](bool searching) { events << (searching ? QStringLiteral("busy") : QStringLiteral("idle")); } }
    };
};

} // namespace

TEST(SearchQueueTest, RequestsDuringASearchStopItAndTheLatestRunsAfterIt)
{
    ScriptedQueue q;
    q.duringRun = [&q](const QString& query) {
        if (query != QStringLiteral("first"))
            return;
        q.queue.RequestSearch(QStringLiteral("second"));
        q.queue.RequestSearch(QStringLiteral("third"));
        // The running search keeps its own copy of the query whatever is asked meanwhile.
        EXPECT_EQ(q.queue.Query(), QStringLiteral("first"));
        EXPECT_TRUE(q.queue.IsSearching());
    };
    q.queue.RequestSearch(QStringLiteral("first"));
    EXPECT_EQ(q.events, Events({ "busy", "run first", "stop", "stop", "run third", "idle" }));
    EXPECT_FALSE(q.queue.IsSearching());
    EXPECT_TRUE(q.queue.Query().isEmpty());
}

TEST(SearchQueueTest, ACloseDuringASearchWaitsForItAndDropsWhatWasAsked)
{
    ScriptedQueue q;
    bool closeNow = true;
    q.duringRun = [&](const QString&) {
        q.queue.RequestSearch(QStringLiteral("before the close"));
        closeNow = q.queue.RequestClose();
        q.queue.RequestSearch(QStringLiteral("after the close"));
        EXPECT_FALSE(q.queue.RequestStartupCheck());
    };
    q.queue.RequestSearch(QStringLiteral("running"));
    EXPECT_FALSE(closeNow);
    EXPECT_EQ(q.events, Events({ "busy", "run running", "stop", "stop", "idle", "close" }));

    // Between searches the close is not held back, and the queue works again afterwards.
    q.events.clear();
    q.duringRun = {};
    EXPECT_TRUE(q.queue.RequestClose());
    q.queue.RequestSearch(QStringLiteral("next"));
    EXPECT_EQ(q.events, Events({ "busy", "run next", "idle" }));
}

TEST(SearchQueueTest, TheStartupCheckWaitsForTheSearchesAndRunsOnce)
{
    ScriptedQueue q;
    EXPECT_TRUE(q.queue.RequestStartupCheck());
    q.duringRun = [&](const QString& query) {
        EXPECT_FALSE(q.queue.RequestStartupCheck());
        if (query == QStringLiteral("one"))
            q.queue.RequestSearch(QStringLiteral("two"));
    };
    q.queue.RequestSearch(QStringLiteral("one"));
    EXPECT_EQ(q.events, Events({ "busy", "run one", "stop", "run two", "idle", "check" }));
}

TEST(SearchQueueTest, ASearchThatThrowsLeavesTheQueueIdle)
{
    ScriptedQueue q;
    q.duringRun = [](const QString&) { throw std::runtime_error("broken"); };
    EXPECT_THROW(q.queue.RequestSearch(QStringLiteral("x")), std::runtime_error);
    EXPECT_FALSE(q.queue.IsSearching());
    EXPECT_EQ(q.events.last(), QStringLiteral("idle"));
    q.duringRun = {};
    q.queue.RequestSearch(QStringLiteral("y"));
    EXPECT_EQ(q.events.last(), QStringLiteral("idle"));
    EXPECT_TRUE(q.events.contains(QStringLiteral("run y")));
}

TEST(SearchQueueTest, ARewrittenQueryIsTheRunningSearchsOwn)
{
    ScriptedQueue q;
    q.queue.SetQuery(QStringLiteral("ignored between searches"));
    EXPECT_TRUE(q.queue.Query().isEmpty());
    q.duringRun = [&](const QString&) {
        q.queue.SetQuery(QStringLiteral("example.com"));
        EXPECT_EQ(q.queue.Query(), QStringLiteral("example.com"));
    };
    q.queue.RequestSearch(QStringLiteral("www.example.com"));
    EXPECT_TRUE(q.queue.Query().isEmpty());
}
