/// The RDAP bootstrap files beside the definition files: loading the newer copy and refreshing them from IANA.
#pragma once

#include "rdap/bootstrap_registry.h"
#include "settings/data_locations.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace vesk {

class LogSink;

/// The file names of the domain and the IPv4 bootstrap registries, as IANA publishes them.
inline constexpr char kDomainBootstrapFile[] = "dns.json";
inline constexpr char kAddressBootstrapFile[] = "ipv4.json";

/// The address the bootstrap files are refreshed from (a build setting); file names are appended to it.
QByteArray BootstrapBaseAddress();

/// The registries as the program uses them. For each file the copy a refresh installed in the user's data
/// folder is taken when it is valid and its "publication" time is later than the shipped copy's; otherwise the
/// shipped copy (in portable use both are the same file).
RdapBootstrap LoadRdapBootstrap(const DataLocations& locations);

/// What a refresh did, one line per file for the log and vesk-query --update.
struct BootstrapRefresh
{
    bool AllInstalled = false;
    QStringList Lines;
};

/// Fetches `address` into a local file: its path, or empty when the download failed (the caller removes it).
using BootstrapDownload = std::function<QString(const QByteArray& address)>;
/// Puts bytes in place as target with a one-generation backup; false when it could not.
using BootstrapInstall = std::function<bool(QByteArrayView bytes, const QString& target, const QString& backup)>;

/// Downloads each file from `baseAddress` and installs each into the user's data folder (with a backup of the
/// one it replaces) only when it parses and maps at least kMinBootstrapDomains TLDs (kMinBootstrapBlocks
/// blocks). A file that fails leaves the installed one byte for byte. Each outcome is logged. `bootstrap` (may be
/// null) is reloaded afterwards.
BootstrapRefresh RefreshRdapBootstrap(const DataLocations& locations, const QByteArray& baseAddress,
                                      const BootstrapDownload& download, const BootstrapInstall& install, LogSink& log,
                                      RdapBootstrap* bootstrap);

} // namespace vesk
