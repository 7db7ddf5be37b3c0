// Files under faults: a log folder that cannot be made while a search runs, definition files cut off at every
// length as the loader meets them on disk, and an update whose program folder cannot be written. Tests run as
// root in CI, where permission bits stop nothing, so a regular file stands where a folder is expected.

#include "defs/definition_file.h"
#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "support/fake_http_server.h"
#include "support/fixed_clock.h"
#include "support/in_memory_transport.h"
#include "support/lookup_world.h"
#include "support/recording_frontend.h"
#include "support/signed_sets.h"
#include "support/temp_settings.h"
#include "support/test_data.h"
#include "support/test_files.h"
#include "support/test_waits.h"
#include "update/definition_update.h"
#include "update/download_to_cache.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

QString NameOf(const auto& scrambled)
{
    return QString::fromLatin1(scrambled.Text());
}

TEST(FilesFaultTest, SearchRunsToItsEndWhenTheLogFolderCannotBeMade)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString logFolder = dir.filePath(QStringLiteral("LOG"));
    WriteWholeFile(logFolder, "a file where the folder belongs");
    TLogFile log(dir.path(), QStringLiteral("vesk"), FixedClock(FixedNow()));
    ASSERT_FALSE(log.IsActive());

    TempSettings store;
    TReg settings(store.Open(), TReg::WriteBack::Never, FixedNow);
    settings.InclIP = false;
    const DefinitionTables definitions = TestDefinitions();
    InMemoryTransport transport;
    transport.SetReply("whois.nic.fr", "google.fr",
                       ReadTestData(QStringLiteral("whois/whois.nic.fr-fr-registered.txt")));
    RecordingFrontend window;
    InstantWait wait;
    LookupEngine engine(window, log, definitions, transport, nullptr, wait, FixedNow);
    SearchOptions options;
    options.PauseMilliseconds = 0;

    window.SetQueryText("google.fr");
    engine.Search(options.WithSettings(settings));

    EXPECT_EQ(window.Status(), "Done");
    EXPECT_TRUE(window.Lines().contains(QStringLiteral("domain:      google.fr")));
    EXPECT_EQ(ReadWholeFile(logFolder), QByteArray("a file where the folder belongs"));
}

// The loader reads the files from disk; every cut gives a table or the one format error, never a crash.
TEST(FilesFaultTest, DefinitionFilesCutAtEveryLengthGiveATableOrTheFormatError)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct
    {
        const char* data;
        QString name;
        bool tld;
        qsizetype rows;
    } files[] = {
        { "defs/good-tld.bin", NameOf(kTldFileName), true, 4 },
        { "defs/good-servers.bin", NameOf(kHostMarkFileName), false, 2 },
    };
    for (const auto& file : files) {
        const QByteArray whole = ReadTestData(QString::fromLatin1(file.data));
        ASSERT_FALSE(whole.isEmpty());
        int refused = 0;
        for (qsizetype n = 0; n <= whole.size(); ++n) {
            SCOPED_TRACE(std::string(file.data) + " cut at " + std::to_string(n));
            WriteWholeFile(dir.filePath(file.name), whole.first(n));
            DefinitionTables definitions;
            try {
                if (file.tld) {
                    definitions.LoadTldTable(dir.path());
                    EXPECT_LE(definitions.TldRows().size(), file.rows);
                } else {
                    definitions.LoadHostMarks(dir.path());
                    EXPECT_LE(definitions.HostMarks().size(), file.rows);
                }
            } catch (const ECipherException& e) {
                EXPECT_STREQ(e.what(), "Invalid file format");
                EXPECT_TRUE(definitions.TldRows().isEmpty() && definitions.HostMarks().isEmpty());
                ++refused;
            }
        }
        // Without a whole final block there is no file; the complete one loads in full.
        EXPECT_GE(refused, 32);
        DefinitionTables complete;
        WriteWholeFile(dir.filePath(file.name), whole);
        complete.LoadAll(dir.path());
        EXPECT_EQ(file.tld ? complete.TldRows().size() : complete.HostMarks().size(), file.rows);
        QFile::remove(dir.filePath(file.name));
    }
}

// The program's folder cannot take the new files (a regular file stands at its path): the update fails and
// leaves the date, the tables and the log as they were.
TEST(FilesFaultTest, UpdateIntoAFolderThatCannotBeWrittenChangesNothing)
{
    const QDateTime now(QDate(2004, 1, 14), QTime(9, 5, 7)); // day 38000
    const DefinitionKey key = UnscrambleKey();
    const QByteArray newTld = EncryptDefinitionFile("de#Germany#whois.denic.de\r\n", key, 5);
    const QByteArray newHost = EncryptDefinitionFile("whois.denic.de#Domain:##Status: free#-T dn ##0\r\n", key, 6);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString programFolder = dir.filePath(QStringLiteral("program"));
    WriteWholeFile(programFolder, "not a folder");
    DefinitionTables definitions;
    definitions.SetTldRows({ { "com", "Commercial", "whois.verisign-grs.com" } });
    TempSettings store;
    TReg settings(store.Open(), TReg::WriteBack::Never, FixedClock(now));
    settings.LastUpdate = 37990;
    {
        TLogFile log(dir.path(), QStringLiteral("vesk"), FixedClock(now));
        FakeHttpServer server;
        const TestKeys keys = MakeTestKeys();
        PublishSignedSet(server, "comment\r\n38002\r\n", newTld, newHost, keys.PrivatePem);
        DownloadLimits limits;
        limits.StallTimeoutMs = 500;
        limits.TotalTimeoutMs = 3000;
        const UpdateSources sources {
            .DefinitionsBase = server.BaseAddress(),
            .BootstrapBase = {},
            .Download = [limits](const QByteArray& address) { return DownloadToCache(address, {}, limits); },
            .Now = FixedClock(now),
            .TrustedKeys = { keys.PublicPem }
        };

        EXPECT_FALSE(
            UpdateDefinitions({ settings, log, definitions, DataLocations::InOneFolder(programFolder) }, sources)
                .Succeeded);
        EXPECT_EQ(server.Requests(kTldFileName.Text()), 1);
    }
    EXPECT_EQ(settings.LastUpdate, 37990);
    EXPECT_EQ(definitions.FindTld("com").Server, QByteArray("whois.verisign-grs.com"));
    EXPECT_TRUE(definitions.FindTld("de").Tld.isEmpty());
    EXPECT_EQ(ReadWholeFile(programFolder), QByteArray("not a folder"));
    const QByteArray logText = ReadWholeFile(dir.filePath(QStringLiteral("LOG/vesk.log")));
    EXPECT_FALSE(logText.contains("Definition Files Updated"));
}

} // namespace
} // namespace vesk::test
