#include "update/rdap_bootstrap_files.h"

#include "common/log_sink.h"
#include "vesk_version.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace vesk {

namespace {

// IANA's files are a few hundred KiB; a larger file is not one.
constexpr qint64 kMaxBootstrapFile = qint64 { 16 } * 1024 * 1024;

QByteArray ReadSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBootstrapFile)
        return QByteArray();
    return file.readAll();
}

// The file's "publication" time as written (ISO 8601 texts compare in time order); empty when it has none.
QString Publication(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object().value(QLatin1String("publication")).toString();
}

// The bytes of the copy to use: the user's when valid and newer than the shipped one.
template <class Registry, class Parse> Registry LoadNewer(const DataLocations& locations, const char* name, Parse parse)
{
    const QByteArray shipped = ReadSmallFile(QDir(locations.ShippedDir).filePath(QString::fromLatin1(name)));
    Registry chosen = parse(shipped);
    if (QDir::cleanPath(locations.UserDataDir) == QDir::cleanPath(locations.ShippedDir))
        return chosen;
    const QByteArray user = ReadSmallFile(QDir(locations.UserDataDir).filePath(QString::fromLatin1(name)));
    if (user.isEmpty())
        return chosen;
    Registry refreshed = parse(user);
    if (IsInstallable(refreshed) && Publication(user) > Publication(shipped))
        return refreshed;
    return chosen;
}

std::optional<QByteArray> TakeFile(const QString& path)
{
    QFile file(path);
    std::optional<QByteArray> bytes;
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxBootstrapFile)
        bytes = file.readAll();
    file.close();
    file.remove();
    return bytes;
}

} // namespace

QByteArray BootstrapBaseAddress()
{
    return QByteArray(VESK_RDAP_BOOTSTRAP_BASE);
}

RdapBootstrap LoadRdapBootstrap(const DataLocations& locations)
{
    RdapBootstrap bootstrap;
    bootstrap.Domains = LoadNewer<DomainBootstrap>(locations, kDomainBootstrapFile, &ParseDomainBootstrap);
    bootstrap.Addresses = LoadNewer<AddressBootstrap>(locations, kAddressBootstrapFile, &ParseAddressBootstrap);
    return bootstrap;
}

BootstrapRefresh RefreshRdapBootstrap(const DataLocations& locations, const QByteArray& baseAddress,
                                      const BootstrapDownload& download, const BootstrapInstall& install, LogSink& log,
                                      RdapBootstrap* bootstrap)
{
    BootstrapRefresh refresh;
    refresh.AllInstalled = true;
    const QDir dir(locations.UserDataDir);
    for (const char* name : { kDomainBootstrapFile, kAddressBootstrapFile }) {
        const QString file = QString::fromLatin1(name);
        QString problem;
        const QString path = download(baseAddress + name);
        const std::optional<QByteArray> bytes = path.isEmpty() ? std::nullopt : TakeFile(path);
        const bool domains = file == QLatin1String(kDomainBootstrapFile);
        if (!bytes) {
            problem = QStringLiteral("could not be downloaded");
        } else if (domains ? !IsInstallable(ParseDomainBootstrap(*bytes))
                           : !IsInstallable(ParseAddressBootstrap(*bytes))) {
            problem = domains
                ? QStringLiteral("is not a bootstrap registry of at least %1 TLDs").arg(kMinBootstrapDomains)
                : QStringLiteral("is not a bootstrap registry of at least %1 blocks").arg(kMinBootstrapBlocks);
        } else if (!QDir().mkpath(locations.UserDataDir)
                   || !install(*bytes, dir.filePath(file), dir.filePath(file + QStringLiteral(".bak")))) {
            problem = QStringLiteral("could not be written to %1").arg(QDir::toNativeSeparators(locations.UserDataDir));
        }
        const QString line = problem.isEmpty()
            ? QStringLiteral("RDAP bootstrap %1 refreshed").arg(file)
            : QStringLiteral("RDAP bootstrap %1 not refreshed: the download %2; the installed file is kept")
                  .arg(file, problem);
        refresh.Lines.append(line);
        refresh.AllInstalled = refresh.AllInstalled && problem.isEmpty();
        log.Write(line.toUtf8());
    }
    if (bootstrap != nullptr)
        *bootstrap = LoadRdapBootstrap(locations);
    return refresh;
}

} // namespace vesk
