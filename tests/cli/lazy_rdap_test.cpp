#include "cli/lazy_rdap.h"
#include "cli/query_command.h"
#include "rdap/bootstrap_registry.h"
#include "support/in_memory_rdap.h"
#include "support/in_memory_transport.h"
#include "support/lookup_world.h"
#include "support/test_data.h"

#include <QBuffer>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace vesk::test {
namespace {

constexpr char kZzUrl[] = "https://rdap.identitydigital.services/rdap/domain/example.zz";

// vesk-query in-process as main builds it: the bootstrap read and the RDAP road made through counted factories.
class LazyRdapCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        world.Settings->InclIP = false;
        world.Settings->SearchContacts = false;
        world.Transport.SetReply("whois.verisign-grs.com", 43, "domain example.com", "Domain Name: EXAMPLE.COM\r\n");
    }

    int Run(const QStringList& arguments)
    {
        out.buffer().clear();
        out.seek(0);
        QBuffer err;
        err.open(QIODevice::WriteOnly);
        QueryCommandContext context {
            *world.Settings, *world.Log, world.Definitions, world.Transport, world.Wait, {}, {}
        };
        context.Now = FixedNow;
        context.PauseMilliseconds = 0;
        context.LoadBootstrap = [this] {
            ++bootstrapReads;
            RdapBootstrap bootstrap;
            bootstrap.Domains.BaseUrls.insert("zz", "https://rdap.identitydigital.services/rdap/");
            return bootstrap;
        };
        context.MakeRdap = [this](EventWait&) -> std::unique_ptr<RdapTransport> {
            ++roadsMade;
            auto rdap = std::make_unique<InMemoryRdap>();
            rdap->Answer(QString::fromLatin1(kZzUrl),
                         ReadTestData(QStringLiteral("rdap/identitydigital-identity.digital-ABRIDGED.json")));
            return rdap;
        };
        QueryCommand command(context, out, err);
        return command.Run(QStringList { QStringLiteral("vesk-query") } + arguments);
    }

    LookupWorld world;
    QBuffer out;
    int bootstrapReads = 0;
    int roadsMade = 0;
};

TEST_F(LazyRdapCommand, APortFortyThreeQueryNeverReadsTheBootstrapNorMakesTheRdapRoad)
{
    out.open(QIODevice::WriteOnly);
    const QStringList cases[] = {
        { QStringLiteral("--no-rdap"), QStringLiteral("example.com") },
        { QStringLiteral("--no-rdap"), QStringLiteral("--json"), QStringLiteral("example.com") },
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        EXPECT_EQ(Run(arguments), QueryCommand::Success);
        EXPECT_TRUE(out.data().contains("Domain Name: EXAMPLE.COM")) << out.data().toStdString();
    }
    EXPECT_EQ(bootstrapReads, 0);
    EXPECT_EQ(roadsMade, 0);
}

TEST_F(LazyRdapCommand, AnRdapOnlyTldReadsTheBootstrapAndMakesTheRoadOnce)
{
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(Run({ QStringLiteral("example.zz") }), QueryCommand::Success);
    EXPECT_TRUE(out.data().contains("(RDAP)")) << out.data().toStdString();
    EXPECT_EQ(bootstrapReads, 1);
    EXPECT_EQ(roadsMade, 1);
}

// Search threads that meet the bootstrap at once read it once and all see the same registries.
TEST(SharedRdapBootstrapTest, ThreadsReadItOnce)
{
    std::atomic<int> reads = 0;
    SharedRdapBootstrap shared([&reads] {
        ++reads;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        RdapBootstrap bootstrap;
        bootstrap.Domains.BaseUrls.insert("zz", "https://rdap.example/");
        return bootstrap;
    });
    std::vector<const RdapBootstrap*> seen(4, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back([&shared, &seen, i] { seen[i] = shared.Get(); });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(reads, 1);
    for (const RdapBootstrap* bootstrap : seen) {
        ASSERT_NE(bootstrap, nullptr);
        EXPECT_EQ(bootstrap, seen.front());
        EXPECT_TRUE(bootstrap->Domains.BaseUrls.contains("zz"));
    }
}

// Without a road the bootstrap is never read, and without a bootstrap no road is made: port 43 only.
TEST(LazyRdapSourceTest, EitherHalfMissingMeansNoRdapAndNothingBuilt)
{
    int reads = 0;
    int made = 0;
    SharedRdapBootstrap shared([&reads] {
        ++reads;
        return RdapBootstrap();
    });
    LazyRdapSource noRoad(&shared, nullptr);
    EXPECT_EQ(noRoad.Bootstrap(), nullptr);
    EXPECT_EQ(noRoad.Transport(), nullptr);
    LazyRdapSource noBootstrap(nullptr, nullptr, [&made] {
        ++made;
        return std::make_unique<InMemoryRdap>();
    });
    EXPECT_EQ(noBootstrap.Bootstrap(), nullptr);
    EXPECT_EQ(noBootstrap.Transport(), nullptr);
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(made, 0);
}

} // namespace
} // namespace vesk::test
