#include "cli/query_command.h"
#include "defs/definition_file.h"
#include "support/fake_http_server.h"
#include "support/lookup_world.h"
#include "support/signed_sets.h"
#include "support/test_files.h"
#include "update/definition_update.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

const QByteArray kOldTld = EncryptDefinitionFile("com#Commercial#whois.verisign-grs.com\r\n", UnscrambleKey(), 3);
const QByteArray kOldHost
    = EncryptDefinitionFile("whois.verisign-grs.com#Domain Name:##No match for#domain##2\r\n", UnscrambleKey(), 3);
const QByteArray kNewTld = EncryptDefinitionFile(
    "com#Commercial#whois.verisign-grs.com\r\nde#Germany#whois.denic.de\r\n", UnscrambleKey(), 4);
const QByteArray kNewHost = EncryptDefinitionFile(
    "whois.verisign-grs.com#Domain Name:##No match for#domain##2\r\nwhois.denic.de###Status: free#-T dn,ace##2\r\n",
    UnscrambleKey(), 4);

// `vesk-query --update` run in-process with the real update against a loopback HTTP server; the program's
// folder is the world's temporary folder.
class UpdateCommandTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteFile(kTldFileName, kOldTld);
        WriteFile(kHostMarkFileName, kOldHost);
        world.Definitions.LoadAll(world.Dir.path());
        world.Settings->LastUpdate = 45000;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
    }

    QString Local(const auto& name) const { return QDir(world.Dir.path()).filePath(QString::fromLatin1(name.Text())); }
    void WriteFile(const auto& name, const QByteArray& bytes)
    {
        QFile file(Local(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    int RunUpdate(std::function<void()> load = {})
    {
        QueryCommandContext context {
            *world.Settings, *world.Log, world.Definitions, world.Transport, world.Wait, {}, {}
        };
        context.LoadDefinitions = std::move(load);
        context.UpdateDefinitions = [this] {
            return UpdateDefinitions(
                { *world.Settings, *world.Log, world.Definitions, DataLocations::InOneFolder(world.Dir.path()) },
                { .DefinitionsBase = server.BaseAddress(),
                  .BootstrapBase = {},
                  .Now = FixedNow,
                  .TrustedKeys = { keys.PublicPem } });
        };
        context.Now = FixedNow;
        QueryCommand command(context, out, err);
        return command.Run({ QStringLiteral("vesk-query"), QStringLiteral("--update") });
    }

    LookupWorld world;
    FakeHttpServer server;
    TestKeys keys = MakeTestKeys();
    QBuffer out;
    QBuffer err;
};

TEST_F(UpdateCommandTest, InstallsNewFilesKeepsOneBackupAndReloads)
{
    PublishSignedSet(server, "Vesk definitions\r\n 45100 \r\n", kNewTld, kNewHost, keys.PrivatePem);

    ASSERT_EQ(RunUpdate(), QueryCommand::Success) << err.data().toStdString();
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kNewTld);
    EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName)), kNewHost);
    EXPECT_EQ(ReadWholeFile(Local(kTldBackupName)), kOldTld);
    EXPECT_EQ(ReadWholeFile(Local(kHostMarkBackupName)), kOldHost);
    EXPECT_EQ(world.Definitions.FindTld("de").Server, "whois.denic.de");
    const QString dir = QDir::toNativeSeparators(world.Dir.path());
    EXPECT_EQ(QString::fromUtf8(out.data()),
              QStringLiteral("Before: version none recorded in %1\n"
                             "After:  version 45100 (2023-06-23) in %1\n"
                             "Installed the new definitions: 2 top-level domains, 2 server profiles.\n")
                  .arg(dir));

    // Run again with fresh settings: the set in use is current, whatever the date of the last check says.
    out.buffer().clear();
    out.seek(0);
    world.Settings->LastUpdate = 45100;
    ASSERT_EQ(RunUpdate(), QueryCommand::Success) << err.data().toStdString();
    EXPECT_EQ(QString::fromUtf8(out.data()),
              QStringLiteral("Before: version 45100 (2023-06-23) in %1\n"
                             "After:  version 45100 (2023-06-23) in %1\n"
                             "Already current: the update location has version 45100 (2023-06-23).\n")
                  .arg(dir));
}

TEST_F(UpdateCommandTest, RepairsADamagedLocalFileWithAWarning)
{
    WriteFile(kTldFileName, kOldTld.first(20));
    world.Definitions = DefinitionTables();
    PublishSignedSet(server, "Vesk definitions\r\n45100\r\n", kNewTld, kNewHost, keys.PrivatePem);

    const int status = RunUpdate([this] { world.Definitions.LoadAll(world.Dir.path()); });

    ASSERT_EQ(status, QueryCommand::Success) << err.data().toStdString();
    EXPECT_TRUE(err.data().startsWith("vesk-query: warning: The definition files cannot be read: "))
        << err.data().data();
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kNewTld);
    EXPECT_EQ(world.Definitions.FindTld("de").Server, "whois.denic.de");
    EXPECT_TRUE(out.data().endsWith("Installed the new definitions: 2 top-level domains, 2 server profiles.\n"));
}

TEST_F(UpdateCommandTest, EveryFailureLeavesTheInstalledFilesUntouched)
{
    struct Case
    {
        const char* name;
        std::function<void(FakeHttpServer&)> serve;
        const char* reason;
    };
    const Case cases[] = {
        { "no version file", [](FakeHttpServer&) {}, "the version file could not be downloaded" },
        { "both definition files missing",
          [this](FakeHttpServer& s) {
              PublishSignedSet(s, "x\r\n45100\r\n", kNewTld, kNewHost, keys.PrivatePem);
              s.Remove(kTldFileName.Text());
              s.Remove(kHostMarkFileName.Text());
          },
          "the TLD definition file could not be downloaded" },
        { "version file of one line", [](FakeHttpServer& s) { s.Serve(kVersionFileName.Text(), "45100\r\n"); },
          "the version file is not in the expected form" },
        { "damaged definition file",
          [this](FakeHttpServer& s) {
              PublishSignedSet(s, "x\r\n45100\r\n", kNewTld.first(20), kNewHost, keys.PrivatePem);
          },
          "the downloaded TLD definition file is damaged" },
        { "forged set",
          [](FakeHttpServer& s) {
              PublishSignedSet(s, "x\r\n45100\r\n", kNewTld, kNewHost, MakeTestKeys().PrivatePem);
          },
          "definition set not signed by a release key" },
        { "tampered set",
          [this](FakeHttpServer& s) {
              PublishSignedSet(s, "x\r\n45100\r\n", kNewTld, kNewHost, keys.PrivatePem);
              s.Serve(kHostMarkFileName.Text(), kOldHost);
          },
          "file vesk2.def does not match the signed manifest" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.Remove(kVersionFileName.Text());
        server.Remove(kTldFileName.Text());
        server.Remove(kHostMarkFileName.Text());
        server.Remove(kManifestFileName);
        server.Remove(kManifestSignatureFileName);
        c.serve(server);
        err.buffer().clear();
        err.seek(0);

        EXPECT_EQ(RunUpdate(), QueryCommand::Failure);
        EXPECT_TRUE(err.data().startsWith("vesk-query: The definition update failed: " + QByteArray(c.reason) + ". "))
            << err.data().toStdString();
        EXPECT_TRUE(err.data().endsWith(". The definitions in use are still version none recorded in "
                                        + QDir::toNativeSeparators(world.Dir.path()).toUtf8() + ".\n"))
            << err.data().toStdString();
        EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
        EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName)), kOldHost);
        EXPECT_EQ(world.Definitions.FindTld("com").Server, "whois.verisign-grs.com");
        EXPECT_EQ(world.Settings->LastUpdate, 45000);
    }
}

} // namespace
} // namespace vesk::test
