/// The definition update: download, check, install and reload of the definition files and the RDAP bootstrap.
#pragma once

#include "common/clock.h"
#include "defs/definition_file.h"
#include "defs/definition_sets.h"
#include "defs/signed_manifest.h"
#include "settings/data_locations.h"
#include "update/download_to_cache.h"
#include "update/update_files.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace vesk {

class TReg;
class LogSink;
class DefinitionTables;
struct RdapBootstrap;

/// What the options dialog shows when the update fails (the reason follows on a line of its own).
inline constexpr char kUpdateFailedMessage[] = "Fail to update, please retry next time.";

/// The fixed address of the update location (kept scrambled in the program); file names are appended to it.
QByteArray UpdateBaseAddress();

/// The address the RDAP bootstrap files are refreshed from (a build setting); file names are appended to it.
QByteArray BootstrapBaseAddress();

/// True when automatic updates are on and `now` (with its time of day) is later than "Last Update" + 30 days:
/// with "Last Update" at day D the update is due from midnight starting day D + 30.
bool AutoUpdateDue(const TReg& settings, const QDateTime& now);

/// What the update changes. The tables (and the bootstrap, when given) are reloaded after an install.
struct UpdateTargets
{
    TReg& Settings;
    LogSink& Log;
    DefinitionTables& Definitions;
    DataLocations Locations;
    RdapBootstrap* Bootstrap = nullptr; ///< reloaded after a bootstrap refresh; may be null
};

/// Where the update fetches from and how it installs; the defaults are the program's own.
struct UpdateSources
{
    QByteArray DefinitionsBase = UpdateBaseAddress();
    /// Where the RDAP bootstrap files come from; empty: they are not refreshed.
    QByteArray BootstrapBase = BootstrapBaseAddress();
    /// Fetches one address into a local file; empty: DownloadToCache, showing `Busy`.
    DownloadFunction Download = {};
    BusyCallback Busy = {};
    InstallFunction Install = InstallDefinitionFile;
    Clock Now = SystemClock();
    /// Public keys (PEM) of which one must have signed a set's manifest.
    QList<QByteArray> TrustedKeys = ReleaseKeys();
};

/// What one run of the update did.
struct UpdateOutcome
{
    bool Succeeded = false; ///< the current set is the server's version (or newer) afterwards
    bool Installed = false; ///< a new set was downloaded and installed
    std::optional<int> ServerVersion = {}; ///< from the version file, when it was read
    DefinitionSet Before = {}; ///< the set in use before
    DefinitionSet After = {}; ///< the set in use afterwards (Before when nothing was installed)
    QString Failure = {}; ///< why it failed, for people; empty on success
    /// What the refresh of the RDAP bootstrap files did, one line per file (empty when none was asked for); a
    /// failed refresh never fails the update.
    QStringList BootstrapLines = {};
};

/// The definition update. Asks the update location for its version file and, when it names a newer version
/// than the definition set in use, downloads the set's signed manifest and both definition files. It installs
/// them (with backups, into the user's data folder; the program's folder in portable use), records their version
/// and reloads the tables only when the manifest is signed by one of `TrustedKeys`, names the version of the
/// version file, and every file matches its size and SHA-256 there. A version more than two days after today is
/// refused as implausible. The update succeeds only when the set in use is current afterwards ("Last Update"
/// alone never decides). On success "Last Update" becomes today; when new files were installed "Definition
/// Files Updated" is logged and both tables are reloaded (which may throw ECipherException). On failure
/// (`Failure` says why) "Last Update", the log, the tables and the set in use are unchanged. A downloaded
/// version file that cannot be opened or read throws std::runtime_error naming the file and the file system's
/// error.
///
/// Then, whatever the definitions did, the RDAP bootstrap files are refreshed from `BootstrapBase` when it is
/// set: each is installed into the user's data folder (with a backup) only when it parses and maps at least
/// kMinBootstrapDomains TLDs (kMinBootstrapBlocks blocks); a file that fails leaves the installed one byte for
/// byte. Each outcome is logged and the bootstrap reloaded.
UpdateOutcome UpdateDefinitions(const UpdateTargets& targets, const UpdateSources& sources = {});

} // namespace vesk
