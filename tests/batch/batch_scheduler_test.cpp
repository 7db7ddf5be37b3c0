// The batch scheduler with searches that answer at once: what reaches the output, and in which order.

#include "batch/batch_scheduler.h"
#include "defs/definition_tables.h"

#include <QBuffer>
#include <QMutex>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

// Records what the scheduler hands out.
class RecordingOutput final : public BatchOutput
{
public:
    void Report(const SearchOutcome& outcome, const BatchProgress& progress) override
    {
        Outcomes.append(outcome);
        Last = progress;
    }
    void Finished(const BatchProgress& progress) override
    {
        Last = progress;
        ++Ends;
    }

    QList<SearchOutcome> Outcomes;
    BatchProgress Last;
    int Ends = 0;
};

int RunLines(BatchScheduler& scheduler, const QList<QByteArray>& queries)
{
    QByteArray text = queries.join('\n');
    QBuffer device(&text);
    device.open(QIODevice::ReadOnly);
    BatchInput input(device);
    return scheduler.Run(input);
}

// Every query answers at once; the queries searched are counted.
struct InstantSearches
{
    QMutex Mutex;
    QList<QByteArray> Searched;

    BatchSearchFactory Factory()
    {
        return [this](EventWait&) -> BatchSearch {
            return [this](const QByteArray& query, HostPacer&, const std::function<void(LookupEngine*)>&,
                          const std::function<void(const ExchangeEntry&)>&) {
                {
                    const QMutexLocker lock(&Mutex);
                    Searched.append(query);
                }
                SearchOutcome outcome;
                outcome.Typed = query;
                outcome.EngineAnswered = true;
                ExchangeEntry entry;
                entry.Answered = true;
                outcome.Exchanges.append(entry);
                return outcome;
            };
        };
    }
};

TEST(BatchScheduler, OutcomesComeInInputOrderAndAStopBeforeTheRunStartsNothing)
{
    const DefinitionTables definitions;
    const QList<QByteArray> queries { "a.example", "b.example", "c.example", "d.example", "e.example" };
    {
        InstantSearches searches;
        RecordingOutput output;
        BatchScheduler scheduler(definitions, searches.Factory(), BatchSettings { 3, 0, SteadyClock() }, output);
        EXPECT_EQ(RunLines(scheduler, queries), 0);
        ASSERT_EQ(output.Outcomes.size(), queries.size());
        for (int i = 0; i < queries.size(); ++i)
            EXPECT_EQ(output.Outcomes[i].Typed, queries[i]);
        EXPECT_EQ(output.Last.Answered, 5);
        EXPECT_EQ(output.Ends, 1);
    }
    // Ctrl-C during start-up: nothing is searched, every query is reported as not run.
    InstantSearches searches;
    RecordingOutput output;
    BatchScheduler scheduler(definitions, searches.Factory(), BatchSettings { 2, 0, SteadyClock() }, output);
    scheduler.RequestStop();
    EXPECT_EQ(RunLines(scheduler, queries), 1);
    EXPECT_TRUE(searches.Searched.isEmpty());
    ASSERT_EQ(output.Outcomes.size(), queries.size());
    for (const SearchOutcome& outcome : output.Outcomes)
        EXPECT_TRUE(outcome.NotRun);
    EXPECT_EQ(output.Last.Failed, 5);
}

} // namespace
} // namespace vesk::test
