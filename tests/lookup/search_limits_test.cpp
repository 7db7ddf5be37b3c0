#include "lookup/exchange_observer.h"
#include "rdap/bootstrap_registry.h"
#include "support/in_memory_rdap.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class OutcomeLog final : public ExchangeObserver
{
public:
    int ExchangeDone(const ExchangeEntry& entry) override
    {
        Outcomes.append(QString::fromLatin1(entry.Host + ' ' + entry.Outcome));
        return static_cast<int>(Outcomes.size() - 1);
    }
    void LastExchangeShowsNoMatch() override { }
    void ExchangeTextWritten(int, const QString&) override { }

    QStringList Outcomes;
};

class SearchLimitsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        world.Settings->InclIP = true;
        world.Settings->InclDomain = false;
        world.Settings->SearchContacts = false;
        world.Settings->FilterComments = false;
        world.Options.Observer = &log;
    }

    LookupWorld world;
    OutcomeLog log;
};

// The budget counts every reply of the search; once they reach it, no later exchange is made, and the report
// says so where it would name any other server that gave nothing.
TEST_F(SearchLimitsTest, RepliesThatUseUpTheBudgetSkipEveryLaterExchange)
{
    const QByteArray registry = "No match for \"EXAMPLE.COM\".\r\n";
    const QByteArray arin = WhoisFixture("whois.arin.net-single-record-2013.txt");
    // Two addresses in two networks: ARIN's record of the first one takes what is left of the budget.
    world.Transport.SetAddresses("example.com", { 0x04020201u, 0xC0000201u });
    world.Transport.SetReply("whois.verisign-grs.com", 43, "domain example.com", registry);
    world.Transport.SetReply("whois.arin.net", 43, "4.2.2.1", arin);
    world.Transport.SetDefaultReply("rwhois.arin.net", "%ok\n");
    const qint64 budget = registry.size() + arin.size();

    // One byte short of being used up: ARIN's RWhois server is still asked for the first address.
    world.Options.ReplyBudgetBytes = budget + 1;
    world.Search("example.com");
    EXPECT_EQ(WireLog(world.Transport.Exchanges()).value(2), QStringLiteral("rwhois.arin.net:4321 4.2.2.1"));

    world.Transport.ClearLog();
    log.Outcomes.clear();
    world.Options.ReplyBudgetBytes = budget;
    world.Search("example.com");
    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.verisign-grs.com:43 domain example.com"),
                             QStringLiteral("whois.arin.net:43 4.2.2.1") }));
    EXPECT_EQ(log.Outcomes,
              (QStringList { QStringLiteral("whois.verisign-grs.com answered"),
                             QStringLiteral("whois.arin.net answered"), QStringLiteral("rwhois.arin.net budget"),
                             QStringLiteral("whois.arin.net budget"), QStringLiteral("rwhois.arin.net budget") }));
    const QStringList lines = world.Window.Lines();
    EXPECT_TRUE(lines.contains(QStringLiteral("No Match For Domain: example.com")));
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("NETWORK DETAILS for 4.2.2.1")));
    EXPECT_EQ(lines.count(QStringLiteral(
                  "No answer from rwhois.arin.net: skipped: the search's 64 MiB reply budget is used up")),
              1);
    EXPECT_EQ(world.Window.Status(), "Done");
    EXPECT_TRUE(world.Engine->AnyServerAnswered());
    EXPECT_FALSE(world.Engine->WasStopped());

    // The next search has a budget of its own.
    world.Transport.ClearLog();
    world.Search("example.com");
    EXPECT_EQ(world.Transport.Exchanges().size(), 2);
}

// Past its deadline a search starts no exchange: neither a fallback nor the next server.
TEST_F(SearchLimitsTest, SearchPastItsDeadlineAsksNoMore)
{
    qint64 now = 0;
    world.Options.SteadyClock = [&now] { return now; };
    world.Options.DeadlineMilliseconds = 1000;
    world.Transport.SetExchangeHook([&now](const ExchangeRecord&) { now += 1000; });
    world.Transport.SetFailure("whois.arin.net", ExchangeFailure::Refused);
    InMemoryRdap rdap;
    RdapBootstrap bootstrap;
    bootstrap.Addresses.Blocks.append(AddressBlock { 0, 0, "https://rdap.example/" });
    world.UseRdap(&rdap, &bootstrap);

    world.Search("192.0.2.1");

    EXPECT_EQ(WireLog(world.Transport.Exchanges()), QStringList { QStringLiteral("whois.arin.net:43 192.0.2.1") });
    EXPECT_TRUE(rdap.Asked.isEmpty());
    EXPECT_EQ(log.Outcomes,
              (QStringList { QStringLiteral("whois.arin.net refused"), QStringLiteral("rdap.example deadline"),
                             QStringLiteral("rwhois.arin.net deadline") }));
    // ARIN's failure, then the limit once: the exchanges it skipped are not named one by one.
    EXPECT_EQ(
        world.Window.Lines().mid(6),
        (QStringList { QStringLiteral("No answer from whois.arin.net: connection refused"),
                       QStringLiteral("No answer from rdap.example: search took longer than 10 min"), QString() }));
    // Nothing answered: the command line ends with status 1 for it.
    EXPECT_FALSE(world.Engine->AnyServerAnswered());
    EXPECT_EQ(world.Window.Status(), "Done");

    // A new search starts its own clock.
    world.Transport.ClearLog();
    world.Search("192.0.2.1");
    EXPECT_EQ(world.Transport.Exchanges().size(), 1);
}

// The IPv6 lookup of a domain's addresses runs on a thread of its own and is waited for; the wait ends with what is
// left of the search's deadline, so a lookup that never returns cannot outlast the search.
TEST_F(SearchLimitsTest, AddressLookupWaitsNoLongerThanTheDeadlineLeaves)
{
    qint64 now = 0;
    qint64 later = 0;
    int calls = 0;
    // The search starts at 0; every later reading of the clock gives `later`.
    world.Options.SteadyClock = [&] { return calls++ == 0 ? now : later; };
    world.Options.DeadlineMilliseconds = 1000;
    world.Transport.SetAddresses6("example.com", { "2001:db8::7" });
    const struct
    {
        const char* name;
        qint64 later;
        int budget;
    } rows[] = {
        { "at once", 0, 1000 },
        { "part gone", 400, 600 },
        { "deadline passed", 1500, 0 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        calls = 0;
        later = row.later;
        world.Transport.ClearLog();
        world.Search("example.com");
        ASSERT_FALSE(world.Transport.Resolutions6().isEmpty());
        EXPECT_EQ(world.Transport.Resolutions6().first().second, row.budget);
    }
    // Outside a search the transport's own bound applies.
    world.Transport.ClearLog();
    QList<QByteArray> addresses;
    world.Asker.ResolveHostAddresses("example.com", addresses);
    EXPECT_EQ(world.Transport.Resolutions6(), (QList<QPair<QByteArray, int>> { { "example.com", -1 } }));
}

} // namespace
} // namespace vesk::test
