#include "common/log_sink.h"
#include "defs/bootstrap_files.h"
#include "defs/definition_tables.h"
#include "settings/settings_store.h"
#include "support/fixed_clock.h"
#include "support/temp_settings.h"
#include "update/definition_update.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk::test {

namespace {

class LinesLog : public LogSink
{
public:
    void Write(QByteArrayView message) override { Lines.append(QString::fromUtf8(message)); }
    QStringList Lines;
};

QByteArray Shipped(const char* name)
{
    QFile file(QStringLiteral(VESK_RDAP_DATA_DIR "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A shipped folder with IANA's files and an empty user folder; downloads served from memory.
class BootstrapRefreshTest : public ::testing::Test
{
protected:
    BootstrapRefreshTest()
    {
        locations.ShippedDir = dir.filePath(QStringLiteral("shipped"));
        locations.UserDataDir = dir.filePath(QStringLiteral("user"));
        QDir().mkpath(locations.ShippedDir);
        for (const char* name : { kDomainBootstrapFile, kAddressBootstrapFile }) {
            QFile file(QDir(locations.ShippedDir).filePath(QLatin1String(name)));
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(Shipped(name));
        }
    }
    // Runs the update with the definitions' location unreachable, so that only the bootstrap refresh does work.
    QStringList Refresh(const QHash<QByteArray, QByteArray>& served)
    {
        const auto download = [&](const QByteArray& address) -> QString {
            if (!served.contains(address))
                return QString();
            const QString path = dir.filePath(QStringLiteral("download"));
            QFile file(path);
            file.open(QIODevice::WriteOnly);
            file.write(served.value(address));
            return path;
        };
        const UpdateOutcome outcome = UpdateDefinitions(
            { settings, log, definitions, locations, &bootstrap },
            { .DefinitionsBase = "https://defs.test/", .BootstrapBase = "https://iana.test/", .Download = download });
        EXPECT_FALSE(outcome.Succeeded);
        return outcome.BootstrapLines;
    }
    static bool AllRefreshed(const QStringList& lines)
    {
        return lines.size() == 2 && lines.filter(QStringLiteral("not refreshed")).isEmpty();
    }
    QString UserFile(const char* name) const { return QDir(locations.UserDataDir).filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    DataLocations locations;
    LinesLog log;
    TempSettings store;
    TReg settings { store.Open(), TReg::WriteBack::Never, SystemClock() };
    DefinitionTables definitions;
    RdapBootstrap bootstrap;
};

TEST_F(BootstrapRefreshTest, AGoodDownloadIsInstalledAndANewerPublicationWins)
{
    QByteArray dns = Shipped(kDomainBootstrapFile);
    // A later publication of the same registry, with one more TLD.
    ASSERT_TRUE(dns.contains("\"publication\": \"2026-07-27T00:00:00Z\""));
    dns.replace("2026-07-27T00:00:00Z", "2999-01-01T00:00:00Z");
    dns.replace("\"services\": [", "\"services\": [[[\"newtld\"], [\"https://rdap.newtld.test/\"]],");
    const QStringList lines = Refresh(
        { { "https://iana.test/dns.json", dns }, { "https://iana.test/ipv4.json", Shipped(kAddressBootstrapFile) } });
    EXPECT_TRUE(AllRefreshed(lines)) << lines.join(u'\n').toStdString();
    EXPECT_EQ(FileBytes(UserFile(kDomainBootstrapFile)), dns);
    EXPECT_EQ(FindDomainBaseUrl(bootstrap.Domains, "a.newtld"), "https://rdap.newtld.test/");
    EXPECT_EQ(log.Lines.filter(QStringLiteral("RDAP bootstrap")).size(), 2);
}

TEST_F(BootstrapRefreshTest, TruncatedEmptyOrMissingDownloadsLeaveTheInstalledFilesByteForByte)
{
    QDir().mkpath(locations.UserDataDir);
    const QByteArray installed = Shipped(kDomainBootstrapFile);
    QFile file(UserFile(kDomainBootstrapFile));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(installed);
    file.close();

    for (const QByteArray& bad : { installed.left(installed.size() / 2), QByteArray() }) {
        const QStringList lines = Refresh({ { "https://iana.test/dns.json", bad } });
        EXPECT_FALSE(AllRefreshed(lines));
        EXPECT_EQ(FileBytes(UserFile(kDomainBootstrapFile)), installed);
        EXPECT_FALSE(QFileInfo::exists(UserFile(kAddressBootstrapFile))); // its download failed too
        EXPECT_TRUE(lines.value(0).contains(QStringLiteral("not refreshed")));
    }
    EXPECT_TRUE(IsInstallable(bootstrap.Domains)); // still the shipped registry
}

} // namespace

} // namespace vesk::test
