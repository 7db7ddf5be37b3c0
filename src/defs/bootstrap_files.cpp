#include "defs/bootstrap_files.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace vesk {

namespace {

QByteArray ReadSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBootstrapFile)
        return QByteArray();
    return file.readAll();
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
    const std::optional<QDateTime> userTime = BootstrapPublication(user);
    const std::optional<QDateTime> shippedTime = BootstrapPublication(shipped);
    // A refreshed copy without a readable time cannot be shown newer; a shipped one without a time is beaten.
    if (IsInstallable(refreshed) && userTime && (!shippedTime || *userTime > *shippedTime))
        return refreshed;
    return chosen;
}

} // namespace

std::optional<QDateTime> BootstrapPublication(QByteArrayView json)
{
    const QJsonValue value = QJsonDocument::fromJson(json.toByteArray()).object().value(QLatin1String("publication"));
    if (!value.isString())
        return std::nullopt;
    // A time without a zone would be read as local time; IANA always writes one.
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!time.isValid() || time.timeSpec() == Qt::LocalTime)
        return std::nullopt;
    return time.toUTC();
}

RdapBootstrap LoadRdapBootstrap(const DataLocations& locations)
{
    RdapBootstrap bootstrap;
    bootstrap.Domains = LoadNewer<DomainBootstrap>(locations, kDomainBootstrapFile, &ParseDomainBootstrap);
    bootstrap.Addresses = LoadNewer<AddressBootstrap>(locations, kAddressBootstrapFile, &ParseAddressBootstrap);
    bootstrap.Addresses6 = LoadNewer<IPv6Bootstrap>(locations, kIPv6BootstrapFile, &ParseIPv6Bootstrap);
    bootstrap.Asns = LoadNewer<AsnBootstrap>(locations, kAsnBootstrapFile, &ParseAsnBootstrap);
    return bootstrap;
}

} // namespace vesk
