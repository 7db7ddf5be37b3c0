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

const QDateTime kNow(QDate(2026, 12, 8), QTime(9, 0), Qt::UTC);

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
        for (const char* name :
             { kDomainBootstrapFile, kAddressBootstrapFile, kIPv6BootstrapFile, kAsnBootstrapFile }) {
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
        const UpdateOutcome outcome = UpdateDefinitions({ settings, log, definitions, locations, &bootstrap },
                                                        { .DefinitionsBase = "https://defs.test/",
                                                          .BootstrapBase = "https://iana.test/",
                                                          .Download = download,
                                                          .Now = FixedClock(kNow) });
        EXPECT_FALSE(outcome.Succeeded);
        return outcome.BootstrapLines;
    }
    static bool AllRefreshed(const QStringList& lines)
    {
        return lines.size() == 4 && lines.filter(QStringLiteral("not refreshed")).isEmpty();
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
    dns.replace("2026-07-27T00:00:00Z", "2026-12-09T23:00:00+01:00");
    dns.replace("\"services\": [", "\"services\": [[[\"newtld\"], [\"https://rdap.newtld.test/\"]],");
    QByteArray ipv6 = Shipped(kIPv6BootstrapFile);
    ipv6.replace("2024-11-01T22:00:01Z", "2026-12-01T00:00:00Z");
    ipv6.replace("\"services\": [", "\"services\": [[[\"3fff:1::/32\"], [\"https://rdap.v6.test/\"]],");
    QByteArray asn = Shipped(kAsnBootstrapFile);
    asn.replace("2026-03-14T14:00:01Z", "2026-12-01T00:00:00Z");
    asn.replace("\"services\": [", "\"services\": [[[\"4200000000-4200000010\"], [\"https://rdap.as.test/\"]],");
    const QStringList lines = Refresh({ { "https://iana.test/dns.json", dns },
                                        { "https://iana.test/ipv4.json", Shipped(kAddressBootstrapFile) },
                                        { "https://iana.test/ipv6.json", ipv6 },
                                        { "https://iana.test/asn.json", asn } });
    EXPECT_TRUE(AllRefreshed(lines)) << lines.join(u'\n').toStdString();
    EXPECT_EQ(FileBytes(UserFile(kDomainBootstrapFile)), dns);
    EXPECT_EQ(FindDomainBaseUrl(bootstrap.Domains, "a.newtld"), "https://rdap.newtld.test/");
    EXPECT_EQ(log.Lines.filter(QStringLiteral("RDAP bootstrap")).size(), 4);
    EXPECT_EQ(FileBytes(UserFile(kAsnBootstrapFile)), asn);
    EXPECT_EQ(FindAsnBaseUrls(bootstrap.Asns, 4200000005U).value(0), "https://rdap.as.test/");
    EXPECT_EQ(FileBytes(UserFile(kIPv6BootstrapFile)), ipv6);
    EXPECT_EQ(FindIPv6BaseUrls(bootstrap.Addresses6, "3fff:1::1").value(0), "https://rdap.v6.test/");
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

// The AS number registry chooses the port-43 registry of every AS number too: a valid JSON file that maps only a few
// ranges would send every other number to "no registry holds it".
TEST_F(BootstrapRefreshTest, AnAsnRegistryOfAFewRangesIsRefused)
{
    const QByteArray few
        = R"({"publication": "2026-12-01T00:00:00Z", "services": [[["1-10", "20-30"], ["https://a/"]]]})";
    const QStringList lines = Refresh({ { "https://iana.test/asn.json", few } });
    EXPECT_TRUE(lines.value(3).contains(QStringLiteral("is not a bootstrap registry of at least 50 AS number ranges")))
        << lines.join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(UserFile(kAsnBootstrapFile)));
    EXPECT_TRUE(IsInstallable(bootstrap.Asns)); // still the shipped registry
}

// The registries choose every RDAP server: a copy dated ahead of time would win over every later one, and one
// from anywhere but an https address could come from anyone on the path.
TEST_F(BootstrapRefreshTest, CopiesDatedAheadOrWithoutATimeOrFromPlainHttpAreRefused)
{
    const QByteArray dns = Shipped(kDomainBootstrapFile);
    const struct
    {
        const char* name;
        const char* publication; // replaces the shipped one; null: the field is removed
        const char* problem;
    } rows[] = {
        { "three days ahead", "2026-12-11T09:00:01Z", "is dated more than two days ahead" },
        { "far ahead", "9999-12-31T23:59:59Z", "is dated more than two days ahead" },
        { "later than newer text sorts", "2026-12-10T10:00:00-01:00", "is dated more than two days ahead" },
        { "no zone", "2026-12-01T00:00:00", "has no valid publication time" },
        { "not a date", "yesterday", "has no valid publication time" },
        { "missing", nullptr, "has no valid publication time" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QByteArray changed = dns;
        changed.replace("\"publication\": \"2026-07-27T00:00:00Z\",",
                        row.publication ? "\"publication\": \"" + QByteArray(row.publication) + "\"," : QByteArray());
        const QStringList lines = Refresh({ { "https://iana.test/dns.json", changed } });
        EXPECT_TRUE(lines.value(0).contains(QLatin1String(row.problem))) << lines.value(0).toStdString();
        EXPECT_FALSE(QFileInfo::exists(UserFile(kDomainBootstrapFile)));
    }
    // Two days ahead, to the second, is still believed (time zones, publishing ahead of midnight).
    QByteArray edge = dns;
    edge.replace("2026-07-27T00:00:00Z", "2026-12-10T09:00:00Z");
    EXPECT_TRUE(Refresh({ { "https://iana.test/dns.json", edge } }).value(0).endsWith(QLatin1String("refreshed")));

    const UpdateOutcome plain = UpdateDefinitions(
        { settings, log, definitions, locations, &bootstrap },
        { .DefinitionsBase = {}, .BootstrapBase = "http://iana.test/", .Download = [](const QByteArray& address) {
             if (address.startsWith("http:"))
                 ADD_FAILURE() << "nothing is fetched over plain http";
             return QString();
         } });
    EXPECT_EQ(plain.BootstrapLines,
              QStringList {
                  QStringLiteral("RDAP bootstrap files not refreshed: http://iana.test/ is not an https address") });
}

TEST(BootstrapPublicationTest, ReadsRfc3339TimesAsInstants)
{
    const auto at = [](const char* publication) {
        return BootstrapPublication("{\"publication\": \"" + QByteArray(publication) + "\"}");
    };
    const QDateTime noon(QDate(2026, 7, 27), QTime(12, 0), Qt::UTC);
    EXPECT_EQ(at("2026-07-27T12:00:00Z"), noon);
    EXPECT_EQ(at("2026-07-27T14:00:00+02:00"), noon) << "an offset names the same instant";
    EXPECT_EQ(at("2026-07-27T12:00:00.000Z"), noon);
    EXPECT_LT(*at("2026-07-27T12:00:00Z"), *at("2026-07-27T11:00:00-02:00")) << "not a text comparison";
    EXPECT_FALSE(at("2026-07-27"));
    EXPECT_FALSE(at("2026-02-30T00:00:00Z"));
    EXPECT_FALSE(BootstrapPublication("{\"publication\": 20260727}"));
    EXPECT_FALSE(BootstrapPublication("not json"));
}

} // namespace

} // namespace vesk::test
