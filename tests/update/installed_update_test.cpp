// The update and the choice of definition set in the installed layout: shipped files in share/vesk, updates in
// the user's data folder.

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

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace vesk {
namespace {

using test::FakeHttpServer;
using test::ReadWholeFile;
using test::WriteWholeFile;

const QDateTime kNow(QDate(2004, 1, 14), QTime(9, 5, 7)); // day 38000
constexpr int kToday = 38000;
constexpr int kShippedVersion = 37000;

QByteArray Encrypted(const QByteArray& rows)
{
    return EncryptDefinitionFile(rows, UnscrambleKey(), 5);
}

const QByteArray kShippedTld = Encrypted("com#Commercial#whois.verisign-grs.com\r\n");
const QByteArray kShippedHost = Encrypted("whois.verisign-grs.com#Domain Name:##No match for#=##0\r\n");
const QByteArray kNewTld = Encrypted("com#Commercial#whois.verisign-grs.com\r\nde#Germany#whois.denic.de\r\n");
const QByteArray kNewHost = Encrypted("whois.denic.de#Domain:##Status: free#-T dn ##0\r\n");

QString In(const QString& dir, const auto& scrambledName)
{
    return QDir(dir).filePath(QString::fromLatin1(scrambledName.Text()));
}

// Writes a whole definition set into `dir`.
void WriteSet(const QString& dir, const QByteArray& tld, const QByteArray& host, std::optional<int> version)
{
    WriteWholeFile(In(dir, kTldFileName), tld);
    WriteWholeFile(In(dir, kHostMarkFileName), host);
    if (version)
        WriteWholeFile(In(dir, kVersionFileName), VersionFileText(*version));
}

class InstalledUpdateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_locations = DataLocations::Installed(m_root.filePath(QStringLiteral("usr/share/vesk")),
                                               { m_root.filePath(QStringLiteral("home/.local/share")),
                                                 m_root.filePath(QStringLiteral("home/.local/state")) });
        WriteSet(m_locations.ShippedDir, kShippedTld, kShippedHost, kShippedVersion);
        // As a package installs it. Root ignores the bits, so the tests check where files land instead.
        for (const auto* name : { &kTldFileName, &kHostMarkFileName })
            QFile::setPermissions(In(m_locations.ShippedDir, *name), QFile::ReadOwner | QFile::ReadOther);
        QFile::setPermissions(m_locations.ShippedDir,
                              QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        m_log.emplace(m_root.path(), QStringLiteral("vesk"), test::FixedClock(kNow));
    }
    // So that the temporary folder can be removed by a user who is not root.
    void TearDown() override
    {
        QFile::setPermissions(m_locations.ShippedDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    /// A fresh store: "Last Update" starts as today, as on a first run.
    TReg& FreshSettings()
    {
        m_settings.emplace(m_store.Open(), TReg::WriteBack::Never, test::FixedClock(kNow));
        return *m_settings;
    }

    UpdateOutcome Update(InstallFunction install = InstallDefinitionFile)
    {
        return UpdateDefinitions({ *m_settings, *m_log, m_definitions, m_locations },
                                 { .DefinitionsBase = m_server.BaseAddress(),
                                   .BootstrapBase = {},
                                   .Install = std::move(install),
                                   .Now = test::FixedClock(kNow),
                                   .TrustedKeys = { m_keys.PublicPem } });
    }

    void Publish(int version)
    {
        test::PublishSignedSet(m_server, VersionFileText(version), kNewTld, kNewHost, m_keys.PrivatePem);
    }

    void ExpectShippedUnchanged() const
    {
        EXPECT_EQ(ReadWholeFile(In(m_locations.ShippedDir, kTldFileName)), kShippedTld);
        EXPECT_EQ(ReadWholeFile(In(m_locations.ShippedDir, kHostMarkFileName)), kShippedHost);
        EXPECT_EQ(ReadSetVersion(m_locations.ShippedDir), kShippedVersion);
        EXPECT_EQ(QDir(m_locations.ShippedDir).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).size(), 3);
    }

    QTemporaryDir m_root;
    DataLocations m_locations;
    test::TempSettings m_store;
    std::optional<TReg> m_settings;
    std::optional<TLogFile> m_log;
    DefinitionTables m_definitions;
    FakeHttpServer m_server;
    test::TestKeys m_keys = test::MakeTestKeys();
};

TEST_F(InstalledUpdateTest, TheServersVersionAgainstTheSetInUseDecidesNotTheLastCheck)
{
    const struct
    {
        const char* name;
        std::optional<int> lastUpdate; // none: a first run
        int server;
        bool downloads;
    } rows[] = {
        { "first run, set published long before it", std::nullopt, 37500, true },
        { "set published on the day of the last check", kToday, kToday, true },
        { "server older than the shipped set", kToday - 40, 36000, false },
        { "server at the shipped set's version", kToday - 40, kShippedVersion, false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(m_locations.UserDataDir).removeRecursively();
        TReg& settings = FreshSettings();
        ASSERT_EQ(settings.LastUpdate, kToday);
        if (row.lastUpdate)
            settings.LastUpdate = *row.lastUpdate;
        LoadCurrentDefinitions(m_definitions, m_locations);
        Publish(row.server);

        const UpdateOutcome outcome = Update();
        EXPECT_TRUE(outcome.Succeeded) << outcome.Failure.toStdString();
        EXPECT_EQ(outcome.Installed, row.downloads);
        EXPECT_EQ(outcome.Before.Dir, m_locations.ShippedDir);
        EXPECT_EQ(outcome.Before.Version, kShippedVersion);
        EXPECT_EQ(settings.LastUpdate, kToday);
        ExpectShippedUnchanged();
        if (row.downloads) {
            EXPECT_EQ(outcome.After.Dir, m_locations.UserDataDir);
            EXPECT_EQ(outcome.After.Version, row.server);
            EXPECT_EQ(ReadWholeFile(In(m_locations.UserDataDir, kTldFileName)), kNewTld);
            EXPECT_EQ(ReadWholeFile(In(m_locations.UserDataDir, kHostMarkFileName)), kNewHost);
            EXPECT_EQ(m_definitions.FindTld("de").Server, QByteArray("whois.denic.de"));
        } else {
            EXPECT_EQ(outcome.After.Dir, m_locations.ShippedDir);
            EXPECT_FALSE(QFileInfo::exists(m_locations.UserDataDir));
        }
    }
}

TEST_F(InstalledUpdateTest, BothDownloadsFailingFailsAndInstallsNothing)
{
    TReg& settings = FreshSettings();
    settings.LastUpdate = kToday - 40;
    Publish(37500);
    m_server.Remove(kTldFileName.Text());
    m_server.Remove(kHostMarkFileName.Text());
    const UpdateOutcome outcome = Update();
    EXPECT_FALSE(outcome.Succeeded);
    EXPECT_EQ(outcome.Failure, QStringLiteral("the TLD definition file could not be downloaded"));
    EXPECT_EQ(settings.LastUpdate, kToday - 40);
    EXPECT_FALSE(QFileInfo::exists(m_locations.UserDataDir));
    EXPECT_EQ(CurrentDefinitionSet(m_locations).Dir, m_locations.ShippedDir);
    ExpectShippedUnchanged();
}

TEST_F(InstalledUpdateTest, TheNewerWholeSetIsLoaded)
{
    FreshSettings();
    Publish(37500);
    ASSERT_TRUE(Update().Succeeded);
    ASSERT_EQ(CurrentDefinitionSet(m_locations).Dir, m_locations.UserDataDir);

    // A package upgrade ships a newer set: it wins over the older one in the home folder, and an update to a
    // version between the two downloads nothing.
    QFile::setPermissions(m_locations.ShippedDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    WriteWholeFile(In(m_locations.ShippedDir, kVersionFileName), VersionFileText(37800));
    EXPECT_EQ(CurrentDefinitionSet(m_locations).Dir, m_locations.ShippedDir);
    Publish(37600);
    const UpdateOutcome outcome = Update();
    EXPECT_TRUE(outcome.Succeeded);
    EXPECT_FALSE(outcome.Installed);
    EXPECT_EQ(outcome.Before.Version, 37800);
    EXPECT_EQ(ReadSetVersion(m_locations.UserDataDir), 37500) << "never replaced by an older set";

    // A set without its record, or with a file missing, is not whole and is never loaded.
    WriteWholeFile(In(m_locations.ShippedDir, kVersionFileName), VersionFileText(kShippedVersion));
    EXPECT_EQ(CurrentDefinitionSet(m_locations).Dir, m_locations.UserDataDir);
    QFile::remove(In(m_locations.UserDataDir, kHostMarkFileName));
    EXPECT_EQ(CurrentDefinitionSet(m_locations).Dir, m_locations.ShippedDir);
    WriteWholeFile(In(m_locations.UserDataDir, kHostMarkFileName), kNewHost);
    QFile::remove(In(m_locations.UserDataDir, kVersionFileName));
    EXPECT_EQ(CurrentDefinitionSet(m_locations).Dir, m_locations.ShippedDir);
}

TEST_F(InstalledUpdateTest, AFailedInstallKeepsTheNewerUserSetInUse)
{
    FreshSettings();
    Publish(37500);
    ASSERT_TRUE(Update().Succeeded);
    ASSERT_EQ(CurrentDefinitionSet(m_locations).Dir, m_locations.UserDataDir);

    test::PublishSignedSet(m_server, VersionFileText(37800), kShippedTld, kShippedHost, m_keys.PrivatePem);
    int calls = 0;
    const UpdateOutcome outcome = Update([&calls](QByteArrayView bytes, const QString& target, const QString& backup) {
        return ++calls == 1 && InstallDefinitionFile(bytes, target, backup);
    });
    EXPECT_FALSE(outcome.Succeeded);
    const DefinitionSet inUse = CurrentDefinitionSet(m_locations);
    EXPECT_EQ(inUse.Dir, m_locations.UserDataDir) << "not the older shipped set";
    EXPECT_EQ(inUse.Version, 37500);
    EXPECT_EQ(ReadWholeFile(In(m_locations.UserDataDir, kTldFileName)), kNewTld);
    EXPECT_EQ(ReadWholeFile(In(m_locations.UserDataDir, kHostMarkFileName)), kNewHost);
}

TEST(DataLocationsTest, PortableBesideTheDefinitionFilesElseTheUsersFolders)
{
    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("prefix/bin"));
    QDir().mkpath(bin);
    const UserFolders user { QStringLiteral("/home/u/.local/share"), QStringLiteral("/home/u/.local/state") };

    const DataLocations installed = LocateData(bin, DefinitionFileNames(), QStringLiteral("../share/vesk"), user);
    EXPECT_FALSE(installed.Portable);
    EXPECT_EQ(installed.ShippedDir, root.filePath(QStringLiteral("prefix/share/vesk")));
    EXPECT_EQ(installed.UserDataDir, QStringLiteral("/home/u/.local/share/vesk"));
    EXPECT_EQ(installed.LogParentDir, QStringLiteral("/home/u/.local/state/vesk"));

    WriteWholeFile(In(bin, kTldFileName), kShippedTld);
    EXPECT_FALSE(LocateData(bin, DefinitionFileNames(), QStringLiteral("../share/vesk"), user).Portable)
        << "one file alone is no definition set";
    WriteWholeFile(In(bin, kHostMarkFileName), kShippedHost);
    const DataLocations portable = LocateData(bin, DefinitionFileNames(), QStringLiteral("../share/vesk"), user);
    EXPECT_TRUE(portable.Portable);
    EXPECT_EQ(portable.ShippedDir, bin);
    EXPECT_EQ(portable.UserDataDir, bin);
    EXPECT_EQ(portable.LogParentDir, bin);
}

TEST(DataLocationsTest, StateFolderFollowsXdgStateHomeWhenAbsolute)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/var/tmp/state");
    EXPECT_EQ(UserFolders::FromEnvironment().StateHome, QStringLiteral("/var/tmp/state"));
    qputenv("XDG_STATE_HOME", "relative/state"); // ignored, as the XDG rules ask
    EXPECT_EQ(UserFolders::FromEnvironment().StateHome, QDir::home().filePath(QStringLiteral(".local/state")));
    if (wasSet)
        qputenv("XDG_STATE_HOME", saved);
    else
        qunsetenv("XDG_STATE_HOME");
}

} // namespace
} // namespace vesk
