#include "common/day_numbers.h"
#include "defs/definition_file.h"
#include "defs/definition_tables.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "support/fake_http_server.h"
#include "support/fixed_clock.h"
#include "support/signed_sets.h"
#include "support/temp_settings.h"
#include "support/test_files.h"
#include "update/definition_update.h"
#include "vesk_version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace vesk {
namespace {

using test::FakeHttpServer;
using test::ReadWholeFile;
using test::WriteWholeFile;

// 14 January 2004, day 38000.
const QDateTime kNow(QDate(2004, 1, 14), QTime(9, 5, 7));
constexpr int kToday = 38000;

QByteArray Name(const auto& scrambled)
{
    return scrambled.Text();
}

QByteArray TldFile(const QByteArray& rows, uint16_t seed = 7)
{
    return EncryptDefinitionFile(rows, UnscrambleKey(), seed);
}

const QByteArray kOldTld = TldFile("com#Commercial#whois.verisign-grs.com\r\n");
const QByteArray kOldHost = TldFile("whois.verisign-grs.com#Domain Name:##No match for#=##0\r\n");
const QByteArray kNewTld = TldFile("com#Commercial#whois.verisign-grs.com\r\nde#Germany#whois.denic.de\r\n");
const QByteArray kNewHost = TldFile("whois.denic.de#Domain:##Status: free#-T dn ##0\r\n");
const QByteArray kNewerTld = TldFile("fr#France#whois.nic.fr\r\n");
const QByteArray kNewerHost = TldFile("whois.nic.fr#domain:##No entries found###0\r\n");

class DefinitionUpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WriteWholeFile(Local(kTldFileName), kOldTld);
        WriteWholeFile(Local(kHostMarkFileName), kOldHost);
        m_definitions.LoadAll(m_dir.path());
        ASSERT_TRUE(m_definitions.DefinitionsLoaded());
        m_settings.emplace(m_store.Open(), TReg::WriteBack::Never, test::FixedClock(kNow));
        m_settings->LastUpdate = 37990;
        m_log.emplace(m_dir.path(), QStringLiteral("vesk"), test::FixedClock(kNow));
    }

    QString Local(const auto& scrambledName) const
    {
        return QDir(m_dir.path()).filePath(QString::fromLatin1(Name(scrambledName)));
    }

    // The update location's set, signed with the test's release key whenever a part of it changes.
    void ServeVersion(const QByteArray& text)
    {
        m_version = text;
        test::PublishSignedSet(m_server, m_version, m_tld, m_host, Keys().PrivatePem);
    }
    void ServeDefinitions(const QByteArray& tld, const QByteArray& host)
    {
        m_tld = tld;
        m_host = host;
        test::PublishSignedSet(m_server, m_version, m_tld, m_host, Keys().PrivatePem);
    }
    static const test::TestKeys& Keys()
    {
        static const test::TestKeys keys = test::MakeTestKeys();
        return keys;
    }

    bool Update(InstallFunction install = InstallDefinitionFile) { return Run(std::move(install)).Succeeded; }

    UpdateOutcome Run(InstallFunction install = InstallDefinitionFile, QList<QByteArray> trusted = { Keys().PublicPem })
    {
        DownloadLimits limits;
        limits.StallTimeoutMs = 500;
        limits.TotalTimeoutMs = 3000;
        UpdateSources sources { .DefinitionsBase = m_server.BaseAddress(),
                                .BootstrapBase = {},
                                .Download =
                                    [this, limits](const QByteArray& address) {
                                        return DownloadToCache(
                                            address, [this](bool on) { m_busy += on ? 1 : -1; }, limits);
                                    },
                                .Install = std::move(install),
                                .Now = test::FixedClock(kNow),
                                .TrustedKeys = std::move(trusted) };
        return UpdateDefinitions({ *m_settings, *m_log, m_definitions, DataLocations::InOneFolder(m_dir.path()) },
                                 sources);
    }

    /// The log as written so far (closes it).
    QByteArray LogText()
    {
        const QString name = m_log->GetLogFileName();
        m_log.reset();
        return ReadWholeFile(name);
    }

    int DefinitionRequests() const
    {
        return m_server.Requests(Name(kTldFileName)) + m_server.Requests(Name(kHostMarkFileName));
    }

    QTemporaryDir m_dir;
    test::TempSettings m_store;
    std::optional<TReg> m_settings;
    std::optional<TLogFile> m_log;
    DefinitionTables m_definitions;
    FakeHttpServer m_server;
    QByteArray m_version, m_tld, m_host;
    int m_busy = 0;
};

TEST_F(DefinitionUpdateTest, NewerDefinitionsAreInstalledWithBackupsAndReloaded)
{
    ServeVersion("Vesk definitions\r\n38000\r\n");
    ServeDefinitions(kNewTld, kNewHost);
    ASSERT_TRUE(Update());
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kNewTld);
    EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName)), kNewHost);
    EXPECT_EQ(ReadWholeFile(Local(kTldBackupName)), kOldTld);
    EXPECT_EQ(ReadWholeFile(Local(kHostMarkBackupName)), kOldHost);
    EXPECT_EQ(m_settings->LastUpdate, kToday);
    EXPECT_EQ(m_definitions.FindTld("de").Server, QByteArray("whois.denic.de"));
    EXPECT_EQ(m_definitions.FindHostMark("whois.denic.de").NoMatchMark, QByteArray("Status: free"));
    EXPECT_EQ(m_busy, 0);
    EXPECT_EQ(ReadSetVersion(m_dir.path()), 38000);
    EXPECT_TRUE(LogText().endsWith("04.01.14 09:05:07 > Definition Files Updated\r\n"));
    // Nothing but the definition files, their backups, the version record and the log folder is left beside
    // the program.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size(), 6);
}

TEST_F(DefinitionUpdateTest, VersionNoNewerThanTheSetInUseOnlyMovesTheDate)
{
    WriteWholeFile(Local(kVersionFileName), VersionFileText(37990));
    for (const char* day : { "37990", "37000" }) {
        SCOPED_TRACE(day);
        m_settings->LastUpdate = 37900;
        ServeVersion(QByteArray("comment\r\n") + day + "\r\n");
        ServeDefinitions(kNewTld, kNewHost);
        EXPECT_TRUE(Update());
        EXPECT_EQ(m_settings->LastUpdate, kToday);
    }
    EXPECT_EQ(DefinitionRequests(), 0);
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
    EXPECT_FALSE(LogText().contains("Definition Files Updated"));
}

TEST_F(DefinitionUpdateTest, VersionFileThatIsMissingOrMalformedFailsAndChangesNothing)
{
    const struct
    {
        const char* name;
        std::optional<QByteArray> body; // none: 404
    } rows[] = {
        { "empty", QByteArray() },
        { "one line without end", QByteArray("38002") },
        { "one line", QByteArray("comment\r\n") },
        { "empty second line", QByteArray("comment\r\n\r\n38002\r\n") },
        { "blank second line", QByteArray("comment\r\n  \t \r\n") },
        { "not a number", QByteArray("comment\r\nsoon\r\n") },
        { "two numbers", QByteArray("comment\r\n38002 38011\r\n") },
        { "number too large", QByteArray("comment\r\n99999999999\r\n") },
        { "not on the server", std::nullopt },
    };
    ServeDefinitions(kNewTld, kNewHost);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.body)
            ServeVersion(*row.body);
        else
            m_server.Remove(Name(kVersionFileName));
        EXPECT_FALSE(Update());
        EXPECT_EQ(m_settings->LastUpdate, 37990);
    }
    EXPECT_EQ(DefinitionRequests(), 0);
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
    EXPECT_EQ(m_busy, 0);
}

TEST_F(DefinitionUpdateTest, VersionFileThatCannotBeOpenedIsTheFileSystemsError)
{
    ServeDefinitions(kNewTld, kNewHost);
    QDir(m_dir.path()).mkdir(QStringLiteral("folder"));
    const QString paths[] = { QDir(m_dir.path()).filePath(QStringLiteral("folder")),
                              QDir(m_dir.path()).filePath(QStringLiteral("gone.txt")) };
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        UpdateSources sources { .DefinitionsBase = m_server.BaseAddress(),
                                .BootstrapBase = {},
                                .Download = [&path](const QByteArray&) { return path; },
                                .Now = test::FixedClock(kNow) };
        try {
            UpdateDefinitions({ *m_settings, *m_log, m_definitions, DataLocations::InOneFolder(m_dir.path()) },
                              sources);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& error) {
            const QString message = QString::fromLocal8Bit(error.what());
            EXPECT_TRUE(message.startsWith(QStringLiteral("The downloaded version file ")
                                           + QDir::toNativeSeparators(path) + QStringLiteral(" cannot be opened: ")))
                << error.what();
            EXPECT_GT(message.size(), message.indexOf(QStringLiteral("opened: ")) + 8) << "the reason is missing";
        }
        EXPECT_EQ(m_settings->LastUpdate, 37990);
    }
    EXPECT_EQ(DefinitionRequests(), 0);
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
}

TEST_F(DefinitionUpdateTest, VersionNumberIsReadWhateverTheLineEndsAndBlanks)
{
    const QByteArray rows[] = {
        "comment\r\n  38002 \t\r\n",
        "comment\n38002\n",
        "comment\r38002\r",
        "comment\r\n38002",
    };
    for (const QByteArray& body : rows) {
        SCOPED_TRACE(body.toStdString());
        int day = 0;
        EXPECT_TRUE(ParseVersionFile(body, day));
        EXPECT_EQ(day, 38002);
    }
    ServeVersion(rows[0]);
    ServeDefinitions(kNewTld, kNewHost);
    EXPECT_TRUE(Update());
    EXPECT_EQ(DefinitionRequests(), 2);
}

TEST_F(DefinitionUpdateTest, AFailedDefinitionDownloadFailsTheUpdateAndChangesNothing)
{
    // What is in memory differs from the files, so a reload would show.
    m_definitions.SetTldRows({ TTLDData { "xx", "memory only", "whois.xx" } });
    ServeVersion("comment\r\n38002\r\n");
    ServeDefinitions(kNewTld, kNewHost);
    m_server.Fail(Name(kHostMarkFileName), FakeHttpServer::Mode::Silent);
    EXPECT_FALSE(Update()) << "one file failing";
    m_server.Remove(Name(kTldFileName)); // both failing: 404 and silence
    EXPECT_FALSE(Update()) << "both files failing";

    EXPECT_EQ(m_settings->LastUpdate, 37990);
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
    EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName)), kOldHost);
    EXPECT_FALSE(QFileInfo::exists(Local(kTldBackupName)));
    EXPECT_FALSE(QFileInfo::exists(Local(kVersionFileName)));
    EXPECT_EQ(m_definitions.FindTld("xx").Description, QByteArray("memory only"));
    EXPECT_FALSE(LogText().contains("Definition Files Updated"));
}

TEST_F(DefinitionUpdateTest, DamagedDownloadsAreNotInstalledAndFailTheUpdate)
{
    QByteArray truncated = kNewTld;
    truncated.chop(20);
    QByteArray flipped = kNewHost;
    flipped[flipped.size() - 3] = static_cast<char>(flipped[flipped.size() - 3] ^ 0x40);
    DefinitionKey otherKey = UnscrambleKey();
    otherKey[0] ^= 1;
    const QByteArray foreign = EncryptDefinitionFile("de#Germany#whois.denic.de\r\n", otherKey, 3);
    const struct
    {
        const char* name;
        QByteArray tld, host;
    } rows[] = {
        { "truncated and bit-flipped", truncated, flipped },
        { "another key", foreign, foreign },
        { "not a container", QByteArray("<html>moved</html>"), QByteArray(100, '\0') },
        { "no rows", TldFile("no line end"), TldFile("") },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ServeVersion("comment\r\n38002\r\n");
        ServeDefinitions(row.tld, row.host);
        EXPECT_FALSE(Update());
        EXPECT_EQ(m_settings->LastUpdate, 37990);
        EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
        EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName)), kOldHost);
        EXPECT_EQ(m_definitions.FindTld("com").Server, QByteArray("whois.verisign-grs.com"));
        EXPECT_EQ(m_definitions.FindHostMark("whois.verisign-grs.com").StartMark, QByteArray("Domain Name:"));
    }
    // A fresh start still finds both tables.
    DefinitionTables restarted;
    restarted.LoadAll(m_dir.path());
    EXPECT_TRUE(restarted.DefinitionsLoaded());
    EXPECT_FALSE(LogText().contains("Definition Files Updated"));
}

TEST_F(DefinitionUpdateTest, OneDamagedDownloadInstallsNeitherFile)
{
    ServeVersion("comment\r\n38002\r\n");
    ServeDefinitions(kNewTld, "damaged");
    EXPECT_FALSE(Update());
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
    EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName)), kOldHost);
    EXPECT_EQ(m_settings->LastUpdate, 37990);
    EXPECT_TRUE(m_definitions.FindTld("de").Tld.isEmpty()); // not reloaded
}

// A disk that fills up between the two files: the set in use comes back whole, with its backups and its version
// record, instead of a newer set silently falling back to an older one.
TEST_F(DefinitionUpdateTest, AnInstallFailingPartWayPutsBackTheSetInUse)
{
    WriteWholeFile(Local(kVersionFileName), VersionFileText(37990));
    WriteWholeFile(Local(kTldBackupName), "an older generation");
    for (const int failingCall : { 1, 2 }) {
        SCOPED_TRACE(failingCall);
        ServeVersion("comment\r\n38002\r\n");
        ServeDefinitions(kNewTld, kNewHost);
        int calls = 0;
        const UpdateOutcome outcome
            = Run([&calls, failingCall](QByteArrayView bytes, const QString& target, const QString& backup) {
                  return ++calls != failingCall && InstallDefinitionFile(bytes, target, backup);
              });
        EXPECT_FALSE(outcome.Succeeded);
        EXPECT_EQ(outcome.Failure,
                  QStringLiteral("the definition files could not be written to ")
                      + QDir::toNativeSeparators(m_dir.path()));
        EXPECT_EQ(calls, failingCall);
        EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
        EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName)), kOldHost);
        EXPECT_EQ(ReadWholeFile(Local(kTldBackupName)), QByteArray("an older generation"));
        EXPECT_FALSE(QFileInfo::exists(Local(kHostMarkBackupName)));
        EXPECT_EQ(ReadSetVersion(m_dir.path()), 37990);
        EXPECT_EQ(m_settings->LastUpdate, 37990);
        EXPECT_TRUE(m_definitions.FindTld("de").Tld.isEmpty());
    }
    EXPECT_FALSE(LogText().contains("Definition Files Updated"));
}

TEST_F(DefinitionUpdateTest, ATargetThatCannotBeReplacedFailsTheUpdate)
{
    // The server definition file's name is taken by a folder: no rename can put a file there, even as root.
    ASSERT_TRUE(QFile::remove(Local(kHostMarkFileName)));
    ASSERT_TRUE(QDir().mkdir(Local(kHostMarkFileName)));
    WriteWholeFile(Local(kHostMarkFileName) + QStringLiteral("/inside"), "kept");
    ServeVersion("comment\r\n38002\r\n");
    ServeDefinitions(kNewTld, kNewHost);
    EXPECT_FALSE(Update());
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
    EXPECT_FALSE(QFileInfo::exists(Local(kTldBackupName)));
    EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName) + QStringLiteral("/inside")), QByteArray("kept"));
    EXPECT_FALSE(QFileInfo::exists(Local(kHostMarkBackupName)));
    EXPECT_EQ(m_settings->LastUpdate, 37990);
}

TEST_F(DefinitionUpdateTest, ASecondUpdateAtTheSameTimeIsTurnedAway)
{
    ServeVersion("comment\r\n38002\r\n");
    ServeDefinitions(kNewTld, kNewHost);
    const QString lockPath = QDir(m_dir.path()).filePath(QStringLiteral("vesk-update.lock"));
    {
        QLockFile running(lockPath);
        ASSERT_TRUE(running.tryLock(0));
        const UpdateOutcome outcome = Run();
        EXPECT_FALSE(outcome.Succeeded);
        EXPECT_EQ(outcome.Failure, QStringLiteral("another update is running"));
        EXPECT_EQ(m_server.Requests(Name(kVersionFileName)), 0);
        EXPECT_EQ(m_settings->LastUpdate, 37990);
    }
    // A lock left behind by an update whose process has ended is taken over.
    WriteWholeFile(lockPath, "2147483000\nvesk-query\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    EXPECT_TRUE(Update());
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kNewTld);
    EXPECT_FALSE(QFileInfo::exists(lockPath)) << "the lock goes with the update";
}

TEST_F(DefinitionUpdateTest, TwoUpdatesInARowKeepOneBackupGeneration)
{
    ServeVersion("comment\r\n38001\r\n");
    ServeDefinitions(kNewTld, kNewHost);
    ASSERT_TRUE(Update());
    ServeVersion("comment\r\n38002\r\n");
    ServeDefinitions(kNewerTld, kNewerHost);
    ASSERT_TRUE(Update());
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kNewerTld);
    EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName)), kNewerHost);
    EXPECT_EQ(ReadWholeFile(Local(kTldBackupName)), kNewTld);
    EXPECT_EQ(ReadWholeFile(Local(kHostMarkBackupName)), kNewHost);
    EXPECT_EQ(m_definitions.FindTld("fr").Server, QByteArray("whois.nic.fr"));
    EXPECT_TRUE(m_definitions.FindTld("de").Tld.isEmpty());
}

TEST_F(DefinitionUpdateTest, ADamagedFileOnDiskIsNotReloadedWhenTheDownloadsFail)
{
    WriteWholeFile(Local(kTldFileName), "damaged on disk");
    ServeVersion("comment\r\n38002\r\n"); // both downloads fail: nothing is installed or reloaded
    bool result = true;
    EXPECT_NO_THROW(result = Update());
    EXPECT_FALSE(result);
    EXPECT_EQ(m_settings->LastUpdate, 37990);
}

// What a forged, tampered, replayed or implausible set gets: a clear reason, no download it does not need, and
// the set in use untouched.
TEST_F(DefinitionUpdateTest, SetsTheReleaseKeyDidNotSignAsServedAreRefused)
{
    const test::TestKeys stranger = test::MakeTestKeys();
    QByteArray truncated = kNewTld;
    truncated.chop(16);
    const struct
    {
        const char* name;
        std::function<void(FakeHttpServer&)> tamper;
        const char* failure;
    } rows[] = {
        { "no manifest", [](FakeHttpServer& s) { s.Remove(kManifestFileName); },
          "definition set not signed by a release key" },
        { "no signature", [](FakeHttpServer& s) { s.Remove(kManifestSignatureFileName); },
          "definition set not signed by a release key" },
        { "signed by another key",
          [&stranger](FakeHttpServer& s) {
              test::PublishSignedSet(s, "v\r\n38002\r\n", kNewTld, kNewHost, stranger.PrivatePem);
          },
          "definition set not signed by a release key" },
        { "manifest changed after signing",
          [](FakeHttpServer& s) {
              const QByteArray text
                  = FormatManifest({ 38002,
                                     { { kTldFileName.Text(), kNewTld.size(), Sha256(kNewTld) },
                                       { kHostMarkFileName.Text(), kNewHost.size(), Sha256(kNewHost) } } });
              s.Serve(kManifestFileName, text);
              s.Serve(kManifestSignatureFileName,
                      SignManifest(text + "# signed before this line\n", Keys().PrivatePem));
          },
          "definition set not signed by a release key" },
        { "truncated file", [&truncated](FakeHttpServer& s) { s.Serve(kTldFileName.Text(), truncated); },
          "file vesk1.def does not match the signed manifest" },
        { "files swapped", [](FakeHttpServer& s) { s.Serve(kHostMarkFileName.Text(), kNewTld); },
          "file vesk2.def does not match the signed manifest" },
        { "version file raised after signing",
          [](FakeHttpServer& s) { s.Serve(kVersionFileName.Text(), "v\r\n38001\r\n"); },
          "the signed manifest names version 38002 (2004-01-16), the version file 38001 (2004-01-15)" },
        { "version file rewritten to the signed version",
          [](FakeHttpServer& s) { s.Serve(kVersionFileName.Text(), "rewritten\r\n38002\r\n"); },
          "file vesk-v.txt does not match the signed manifest" },
        { "dated three days ahead",
          [](FakeHttpServer& s) { test::PublishSignedSet(s, "v\r\n38003\r\n", kNewTld, kNewHost, Keys().PrivatePem); },
          "the update location names version 38003 (2004-01-17), more than two days after today; refused as "
          "implausible" },
        { "dated in the year 7000",
          [](FakeHttpServer& s) {
              test::PublishSignedSet(s, "v\r\n1873000\r\n", kNewTld, kNewHost, Keys().PrivatePem);
          },
          "the update location names version 1873000 (7028-02-05), more than two days after today; refused as "
          "implausible" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::PublishSignedSet(m_server, "v\r\n38002\r\n", kNewTld, kNewHost, Keys().PrivatePem);
        row.tamper(m_server);
        const UpdateOutcome outcome = Run();
        EXPECT_FALSE(outcome.Succeeded);
        EXPECT_EQ(outcome.Failure, QString::fromUtf8(row.failure));
        EXPECT_EQ(m_settings->LastUpdate, 37990);
        EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kOldTld);
        EXPECT_EQ(ReadWholeFile(Local(kHostMarkFileName)), kOldHost);
        EXPECT_TRUE(m_definitions.FindTld("de").Tld.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(Local(kVersionFileName)));
    EXPECT_FALSE(LogText().contains("Definition Files Updated"));
}

TEST_F(DefinitionUpdateTest, ASetSignedByAnyTrustedKeyIsInstalledUpToTwoDaysAhead)
{
    const test::TestKeys retired = test::MakeTestKeys();
    test::PublishSignedSet(m_server, "v\r\n38002\r\n", kNewTld, kNewHost, Keys().PrivatePem);
    const UpdateOutcome outcome
        = Run(InstallDefinitionFile, { retired.PublicPem, QByteArray("junk"), Keys().PublicPem });
    EXPECT_TRUE(outcome.Succeeded) << outcome.Failure.toStdString();
    EXPECT_TRUE(outcome.Installed);
    EXPECT_EQ(ReadSetVersion(m_dir.path()), 38002);

    // A set signed earlier by the same key is not newer than the one in use: replaying it changes nothing.
    test::PublishSignedSet(m_server, "v\r\n38001\r\n", kNewerTld, kNewerHost, Keys().PrivatePem);
    EXPECT_TRUE(Update());
    EXPECT_EQ(ReadWholeFile(Local(kTldFileName)), kNewTld);
    EXPECT_EQ(ReadSetVersion(m_dir.path()), 38002);
}

TEST(InstallDefinitionFileTest, ReplacesInOneStepAndKeepsTheFormerFile)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("defs"));
    const QString backup = dir.filePath(QStringLiteral("defs.bak"));

    ASSERT_TRUE(InstallDefinitionFile("first", target, backup));
    EXPECT_EQ(ReadWholeFile(target), QByteArray("first"));
    EXPECT_FALSE(QFileInfo::exists(backup)); // nothing to keep yet

    ASSERT_TRUE(InstallDefinitionFile("second", target, backup));
    ASSERT_TRUE(InstallDefinitionFile("third", target, backup));
    EXPECT_EQ(ReadWholeFile(target), QByteArray("third"));
    EXPECT_EQ(ReadWholeFile(backup), QByteArray("second"));

    const QString folder = dir.filePath(QStringLiteral("folder"));
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_FALSE(InstallDefinitionFile("fourth", folder, dir.filePath(QStringLiteral("folder.bak"))));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    // No temporary file is left behind by the success or the failure.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot),
              (QStringList { QStringLiteral("defs"), QStringLiteral("defs.bak"), QStringLiteral("folder") }));
}

TEST(AutoUpdateDueTest, DueFromMidnightThirtyDaysAfterTheLastUpdate)
{
    test::TempSettings store;
    TReg settings(store.Open(), TReg::WriteBack::Never, test::FixedClock(kNow));
    settings.LastUpdate = kToday;
    const QDate d = DateOfDayNumber(kToday);
    const struct
    {
        const char* name;
        bool autoUpdate;
        QDateTime now;
        bool due;
    } rows[] = {
        { "day D+29 late evening", true, QDateTime(d.addDays(29), QTime(23, 59, 59)), false },
        { "day D+30 at midnight exactly", true, QDateTime(d.addDays(30), QTime(0, 0)), false },
        { "day D+30 just after midnight", true, QDateTime(d.addDays(30), QTime(0, 0, 1)), true },
        { "day D+30 noon", true, QDateTime(d.addDays(30), QTime(12, 0)), true },
        { "months later", true, QDateTime(d.addDays(400), QTime(8, 0)), true },
        { "switched off", false, QDateTime(d.addDays(400), QTime(8, 0)), false },
        { "clock before the last update", true, QDateTime(d.addDays(-5), QTime(8, 0)), false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        settings.AutoUpdate = row.autoUpdate;
        EXPECT_EQ(AutoUpdateDue(settings, row.now), row.due);
    }
}

TEST(UpdateBaseAddressTest, IsTheBuildsAddressAndNotReadableInTheEngine)
{
    const QByteArray plain = VESK_UPDATE_BASE;
    EXPECT_EQ(UpdateBaseAddress(), plain);
    QFile library(QStringLiteral(VESK_CORE_LIBRARY));
    ASSERT_TRUE(library.open(QIODevice::ReadOnly));
    const QByteArray bytes = library.readAll();
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_FALSE(bytes.contains(plain));
    // The search does find plain texts that the engine keeps.
    EXPECT_TRUE(bytes.contains("Definition Files Updated"));
}

} // namespace
} // namespace vesk
