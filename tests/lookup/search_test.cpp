#include "lookup/classify.h"
#include "support/lookup_world.h"

#include <QFile>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

class SearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        world.Settings->InclIP = false;
        world.Settings->InclDomain = true;
        world.Settings->ClearBeforeSearch = true;
    }

    QString LogText()
    {
        const QString name = world.Log->GetLogFileName();
        world.Log.reset(); // closing writes the log out; no search may follow
        QFile log(name);
        return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
    }

    LookupWorld world;
};

TEST_F(SearchTest, QueriesAreDispatchedByKind)
{
    struct Row
    {
        const char* query;
        const char* firstExchange; // empty: none
        const char* title;
    };
    const Row rows[] = {
        { " 192.0.2.7 ", "whois.arin.net:43 192.0.2.7", "REPORT FOR IP Address: 192.0.2.7" },
        { "example.COM", "whois.verisign-grs.com:43 domain example.com", "DOMAIN REPORT FOR: EXAMPLE.COM" },
        { "1.2.3.a", "whois.verisign-grs.com:43 1.2.3.a", "QUERY FOR WHOIS.VERISIGN-GRS.COM: 1.2.3.A" },
        { "localhost", "whois.verisign-grs.com:43 localhost", "QUERY FOR WHOIS.VERISIGN-GRS.COM: LOCALHOST" },
        { "example.com.", "whois.verisign-grs.com:43 example.com.", "QUERY FOR WHOIS.VERISIGN-GRS.COM: EXAMPLE.COM." },
        { "", "whois.verisign-grs.com:43 ", "QUERY FOR WHOIS.VERISIGN-GRS.COM: " },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.query);
        LookupWorld w;
        w.Settings->InclIP = false;
        w.Settings->InclDomain = false;
        w.Search(row.query);
        ASSERT_FALSE(w.Transport.Exchanges().isEmpty());
        EXPECT_EQ(WireLog(w.Transport.Exchanges()).first(), QString::fromLatin1(row.firstExchange));
        EXPECT_EQ(w.Window.Lines().mid(0, 6), HeaderBox(QString::fromLatin1(row.title)));
        EXPECT_EQ(w.Window.Status(), "Done");
    }

    // Without definitions nothing is a known domain, so a domain name goes to the default server as it is.
    LookupWorld empty;
    empty.Definitions = DefinitionTables();
    empty.Search("example.com");
    EXPECT_EQ(WireLog(empty.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.verisign-grs.com:43 example.com") }));
}

TEST_F(SearchTest, WwwIsDroppedInTheQueryBoxButLoggedAsTyped)
{
    world.Search("  x.www.Example.com ");
    EXPECT_EQ(world.Window.QueryHistory(),
              (QList<QByteArray> { "  x.www.Example.com ", "x.www.Example.com", "Example.com" }));
    EXPECT_TRUE(LogText().contains(QStringLiteral(" > Query: x.www.Example.com\r\n"))) << LogText().toStdString();
    EXPECT_EQ(WireLog(world.Transport.Exchanges()).first(),
              QStringLiteral("whois.verisign-grs.com:43 domain example.com"));
}

TEST_F(SearchTest, PlainQueryWritesTheReplyUnfiltered)
{
    world.Transport.SetReply("whois.verisign-grs.com", 43, "=Example", "% comment\r\nline two\r\n");
    world.Search("=Example");
    QStringList expected = HeaderBox(QStringLiteral("QUERY FOR WHOIS.VERISIGN-GRS.COM: =EXAMPLE"));
    expected << QStringLiteral("% comment") << QStringLiteral("line two") << QString() << QString();
    EXPECT_EQ(world.Window.Lines(), expected);

    LookupWorld silent;
    silent.Search("=Example");
    QStringList empty = HeaderBox(QStringLiteral("QUERY FOR WHOIS.VERISIGN-GRS.COM: =EXAMPLE"));
    empty << QString() << QString();
    EXPECT_EQ(silent.Window.Lines(), empty);
}

TEST_F(SearchTest, AddressReportNamesTheAddressAndItsNetwork)
{
    world.Transport.SetReverseName(0xC0000207u, "host7.example.net");
    world.Transport.SetReply("whois.arin.net", 43, "192.0.2.7", "NetRange: 192.0.2.0 - 192.0.2.255\n");
    world.Search("192.0.2.7");
    QStringList expected = HeaderBox(QStringLiteral("REPORT FOR IP Address: 192.0.2.7"));
    expected << QStringLiteral("Domain Name for 192.0.2.7") << QStringLiteral("host7.example.net")
             << SourceBox(QStringLiteral("NETWORK DETAILS for 192.0.2.7"), QStringLiteral("source: whois.arin.net"))
             << QStringLiteral("NetRange: 192.0.2.0 - 192.0.2.255") << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    EXPECT_EQ(world.Window.Status(), "Done");
}

TEST_F(SearchTest, AddressReportUsesThePlainAddressButTitlesTheQueryAsTyped)
{
    world.Search("010.000.002. 07");
    EXPECT_TRUE(world.Window.Lines()[1].startsWith(QStringLiteral("\u2502  REPORT FOR IP Address: 010.000.002. 07 ")));
    EXPECT_EQ(world.Window.Lines()[6], QStringLiteral("No Domain Name found for 10.0.2.7"));
    EXPECT_EQ(world.Transport.ReverseLookups(), (QList<uint32_t> { 0x0A000207u }));
    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.arin.net:43 10.0.2.7"),
                             QStringLiteral("rwhois.arin.net:4321 10.0.2.7") }));

    LookupWorld noReverse;
    noReverse.Settings->InclDomain = false;
    noReverse.Search("10.0.2.7");
    EXPECT_TRUE(noReverse.Transport.ReverseLookups().isEmpty());
    EXPECT_EQ(noReverse.Window.Lines().mid(6), QStringList { QString() });
}

// An IPv6 query as typed (upper case, leading zeros) is reported, reverse-resolved and asked for in its canonical
// text; no domain registry is asked.
TEST_F(SearchTest, IPv6AddressReportUsesTheCanonicalText)
{
    world.Transport.SetReverseName6("2001:db8::7", "host7.example.net");
    world.Transport.SetReply("whois.arin.net", 43, "2001:db8::7", "NetRange: 2001:DB8:: - 2001:DB8:FFFF\n");
    world.Search("2001:0DB8:0:0:0:0:0:0007");
    QStringList expected = HeaderBox(QStringLiteral("REPORT FOR IP Address: 2001:db8::7"));
    expected << QStringLiteral("Domain Name for 2001:db8::7") << QStringLiteral("host7.example.net")
             << SourceBox(QStringLiteral("NETWORK DETAILS for 2001:db8::7"), QStringLiteral("source: whois.arin.net"))
             << QStringLiteral("NetRange: 2001:DB8:: - 2001:DB8:FFFF") << QString();
    EXPECT_EQ(world.Window.Lines(), expected);
    EXPECT_EQ(world.Window.QueryText(), "2001:db8::7");
    EXPECT_EQ(world.Window.Status(), "Done");
    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.arin.net:43 2001:db8::7"),
                             QStringLiteral("rwhois.arin.net:4321 2001:db8::7") }));

    LookupWorld noReverse;
    noReverse.Settings->InclDomain = false;
    noReverse.Transport.SetReverseName6("2001:db8::7", "host7.example.net");
    noReverse.Transport.SetReply("whois.arin.net", 43, "2001:db8::7", "NetRange: 2001:DB8:: - 2001:DB8:FFFF\n");
    noReverse.Search("2001:db8::7");
    EXPECT_FALSE(noReverse.Window.Lines().join(u'\n').contains(u"host7"));
    // Straight from the header to the network details.
    EXPECT_EQ(noReverse.Window.Lines().mid(HeaderBox(QString()).size(), 4),
              SourceBox(QStringLiteral("NETWORK DETAILS for 2001:db8::7"), QStringLiteral("source: whois.arin.net"))
                  .mid(0, 4));
}

TEST_F(SearchTest, QueryTooLongIsAnErrorAfterTheGuard)
{
    world.Window.AppendLine(QStringLiteral("earlier report"));
    EXPECT_THROW(world.Search(QByteArray(256, '1')), QueryTooLongError);
    EXPECT_EQ(world.Window.Lines(), QStringList { QStringLiteral("earlier report") });
    EXPECT_EQ(world.Window.BusyHistory(), (QList<bool> { true, false }));
    EXPECT_TRUE(world.Engine->StopFlag());
    EXPECT_TRUE(world.Transport.Exchanges().isEmpty());
    EXPECT_TRUE(LogText().contains(QStringLiteral("Query: ") + QString(256, u'1')));
}

TEST_F(SearchTest, BusyCursorAndStopFlagAroundASearch)
{
    EXPECT_FALSE(world.Engine->StopFlag());
    bool flagDuringSearch = true;
    world.Window.SetEventHook([&](int) { flagDuringSearch = world.Engine->StopFlag(); });
    world.Search("example.com");
    EXPECT_FALSE(flagDuringSearch);
    EXPECT_TRUE(world.Engine->StopFlag());
    EXPECT_EQ(world.Window.BusyHistory(), (QList<bool> { true, false }));
}

TEST_F(SearchTest, StopRequestBeforeAndAfterSearches)
{
    // Before the first search the flag is clear, so the request shows its message.
    world.Engine->StopSearch();
    EXPECT_EQ(world.Window.Status(), "Stopping Search Process, Please Wait ....");
    EXPECT_EQ(world.Window.EventCalls(), 1);

    world.Search("example.com");
    const auto statuses = world.Window.Statuses().size();
    world.Engine->StopSearch(); // between searches: nothing happens
    EXPECT_EQ(world.Window.Statuses().size(), statuses);
    EXPECT_EQ(world.Window.Status(), "Done");
}

TEST_F(SearchTest, StopInTheMiddleOfAReportEmptiesEveryLaterQuery)
{
    world.Settings->InclIP = true;
    world.Transport.SetAddresses("google.com", { 0x04020201u });
    world.Transport.SetDefaultReply("whois.verisign-grs.com",
                                    "Domain Name: GOOGLE.COM\r\n   Whois Server: whois.markmonitor.com\r\n");
    world.Transport.SetDefaultReply("whois.markmonitor.com", "Domain Name: google.com\r\n");
    world.Transport.SetExchangeHook([&](const ExchangeRecord& e) {
        if (e.Host == "whois.verisign-grs.com")
            world.Engine->StopSearch();
    });

    world.Search("google.com");

    // The stop ends the registry's exchange; only that query says so, and everything after it asks nothing and
    // says nothing (no network line, no pause).
    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.verisign-grs.com:43 domain google.com") }));
    EXPECT_TRUE(world.Window.Text().contains(QStringLiteral("\nIP Address for google.com\n4.2.2.1\n")));
    EXPECT_EQ(world.Window.Lines().count(QStringLiteral("No answer from whois.verisign-grs.com: search stopped")), 1);
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("No Match")));
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("NETWORK DETAILS")));
    EXPECT_FALSE(world.Window.Text().contains(QStringLiteral("whois.arin.net")));
    EXPECT_TRUE(world.Wait.Waits().isEmpty());
    EXPECT_TRUE(world.Engine->WasStopped());
    EXPECT_TRUE(world.Window.Statuses().contains("Stopping Search Process, Please Wait ...."));
    EXPECT_EQ(world.Window.Status(), "Done");
    EXPECT_TRUE(world.Engine->StopFlag());
}

TEST_F(SearchTest, SecondSearchInsideTheFirstRunsToItsEndAndStopsTheFirst)
{
    world.Transport.SetReply("whois.verisign-grs.com", 43, "domain first.com", "No match for \"FIRST.COM\".\r\n");
    world.Transport.SetReply("whois.verisign-grs.com", 43, "=second", "second reply\r\n");
    bool started = false;
    world.Window.SetEventHook([&](int) {
        if (started)
            return;
        started = true; // the user typed a new query and pressed Enter while the first one was connecting
        world.Search("=second");
    });
    world.Settings->ClearBeforeSearch = false;

    world.Search("first.com");

    // The second search ends by stopping the first, whose query is then never sent: its report says so instead
    // of claiming the domain is free.
    EXPECT_EQ(WireLog(world.Transport.Exchanges()),
              (QStringList { QStringLiteral("whois.verisign-grs.com:43 =second") }));
    const QStringList lines = world.Window.Lines();
    const auto second = lines.indexOf(QStringLiteral("second reply"));
    const auto firstTitle = lines.indexOf(HeaderBox(QStringLiteral("DOMAIN REPORT FOR: FIRST.COM"))[1]);
    EXPECT_GT(second, firstTitle); // the second report lands inside the first one's, after its header
    EXPECT_TRUE(lines.contains(QStringLiteral("No answer from whois.verisign-grs.com: search stopped")));
    EXPECT_FALSE(lines.contains(QStringLiteral("No Match For Domain: first.com")));
    EXPECT_EQ(world.Window.BusyHistory(), (QList<bool> { true, true, false, false }));
    EXPECT_TRUE(world.Engine->StopFlag());
}

TEST_F(SearchTest, QueryServerStatusAndStopFlag)
{
    world.Transport.SetReply("whois.example.net", 43, "example.com", "abc");
    world.Window.SetEventHook(
        [&](int) { EXPECT_EQ(world.Window.Status(), "Wait....  Connecting whois.example.net:43 for example.com"); });
    EXPECT_EQ(world.Asker.Ask("whois.example.net", "example.com", 43, Pause::No, HostSource::Fixed).Reply, "abc");
    EXPECT_EQ(world.Window.Statuses(),
              (QList<QByteArray> { "Wait....  Connecting whois.example.net:43 for example.com", QByteArray() }));
    EXPECT_EQ(world.Window.EventCalls(), 1);
    EXPECT_TRUE(world.Wait.Waits().isEmpty()) << "Pause::No never waits";

    world.Options.PauseMilliseconds = 1100;
    EXPECT_EQ(world.Asker.Ask("whois.example.net", "example.com", 43, Pause::Yes, HostSource::Fixed).Reply, "abc");
    EXPECT_EQ(world.Wait.Waits(), QList<int> { 1100 }) << "the pause goes through the injected wait";

    world.Window.SetEventHook(nullptr);
    world.Asker.RequestStop(); // flag set: nothing is shown or sent, the line is blanked
    const int calls = world.Window.EventCalls();
    world.Transport.ClearLog();
    const ServerAnswer stopped = world.Asker.Ask("whois.example.net", "example.com", 43, Pause::Yes, HostSource::Fixed);
    EXPECT_EQ(stopped.Reply, QByteArray());
    EXPECT_EQ(stopped.Failure, ExchangeFailure::Stopped);
    EXPECT_EQ(world.Wait.Waits().size(), 1) << "a stopped search does not pause";
    EXPECT_TRUE(world.Transport.Exchanges().isEmpty());
    EXPECT_EQ(world.Window.EventCalls(), calls);
    EXPECT_EQ(world.Window.Status(), QByteArray());
}

TEST_F(SearchTest, ResolveHostAddresses)
{
    QList<QByteArray> addresses { "stale" };
    EXPECT_EQ(world.Asker.ResolveHostAddresses(" \t", addresses), "Host name could not be resolved.");
    EXPECT_TRUE(addresses.isEmpty());

    world.Transport.SetAddresses("three.example", { 0xC0000203u, 0xC0000201u, 0xC0000202u });
    EXPECT_EQ(world.Asker.ResolveHostAddresses(" three.example ", addresses), QByteArray());
    EXPECT_EQ(addresses, (QList<QByteArray> { "192.0.2.3", "192.0.2.1", "192.0.2.2" }));

    QList<uint32_t> many;
    for (uint32_t i = 0; i < 150; ++i)
        many.append(0x0A000000u + i);
    world.Transport.SetAddresses("many.example", many);
    // A name with more than 100 addresses lists its first 100; it did resolve.
    EXPECT_EQ(world.Asker.ResolveHostAddresses("many.example", addresses), QByteArray());
    EXPECT_EQ(addresses.size(), 100);
    EXPECT_EQ(addresses.last(), "10.0.0.99");

    many.resize(100);
    world.Transport.SetAddresses("hundred.example", many);
    EXPECT_EQ(world.Asker.ResolveHostAddresses("hundred.example", addresses), QByteArray());
    EXPECT_EQ(addresses.size(), 100);
}

} // namespace
} // namespace vesk::test
