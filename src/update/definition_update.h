/// The definition update: download, check, install and reload of the definition files.
#pragma once

#include "common/clock.h"
#include "defs/definition_file.h"
#include "settings/data_locations.h"
#include "update/definition_sets.h"
#include "update/download_to_cache.h"
#include "update/rdap_bootstrap_files.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace vesk {

class TReg;
class LogSink;
class DefinitionTables;

/// What the options dialog shows when UpdateDefinitions gives false.
inline constexpr char kUpdateFailedMessage[] = "Fail to update, please retry next time.";

/// Fetches one address into a local file: its path, or an empty string when the download failed. The caller
/// removes the file when done.
using DownloadFunction = std::function<QString(const QByteArray& address)>;

/// The fixed address of the update location (kept scrambled in the program); file names are appended to it.
QByteArray UpdateBaseAddress();

/// True when automatic updates are on and `now` (with its time of day) is later than "Last Update" + 30 days:
/// with "Last Update" at day D the update is due from midnight starting day D + 30.
bool AutoUpdateDue(const TReg& settings, const QDateTime& now);

/// True when `file` is a definition container that decrypts to text with at least one row whose key is set.
/// `kind` chooses the row format (TLD rows or server profiles).
bool IsUsableDefinitionFile(QByteArrayView file, TableKind kind);

/// Puts `bytes` in place as `target` so that no reader ever sees it missing or half written: the bytes go to a
/// temporary file beside it, the current file is copied to `backup` (one generation; a failed backup is not an
/// error), then the new file replaces the current one in one rename. Returns false when it could not be put in
/// place; `target` is then the file it was before.
bool InstallDefinitionFile(QByteArrayView bytes, const QString& target, const QString& backup);

/// What one run of the definition update did.
struct UpdateOutcome
{
    bool Succeeded = false; ///< the current set is the server's version (or newer) afterwards
    bool Installed = false; ///< a new set was downloaded and installed
    std::optional<int> ServerVersion; ///< from the version file, when it was read
    DefinitionSet Before; ///< the set in use before
    DefinitionSet After; ///< the set in use afterwards (Before when nothing was installed)
    QString Failure; ///< why it failed, for people; empty on success
    /// What the refresh of the RDAP bootstrap files did, one line per file (empty when none was asked for); a
    /// failed refresh never fails the update.
    QStringList BootstrapLines = {};
};

/// The definition update: asks the update location for its version file and, when it names a newer version
/// than the definition set in use, downloads both definition files, checks them and installs them with backups
/// into the user's data folder (the program's folder in portable use), records their version and reloads the
/// tables.
class DefinitionUpdate
{
public:
    /// Installs one checked file; the default is InstallDefinitionFile.
    using InstallFunction = std::function<bool(QByteArrayView bytes, const QString& target, const QString& backup)>;

    /// `locations` tells where the sets lie; `download` fetches the version and definition files from
    /// `baseAddress` + their names.
    DefinitionUpdate(TReg& settings, LogSink& log, DefinitionTables& definitions, DataLocations locations,
                     DownloadFunction download, Clock clock = SystemClock(),
                     QByteArray baseAddress = UpdateBaseAddress(), InstallFunction install = InstallDefinitionFile);

    /// Runs the update. It succeeds only when the set in use is current afterwards: the server's version is not
    /// newer than the set in use ("Last Update" alone never decides), or both new files were downloaded, checked
    /// and installed and their version recorded beside them. On success "Last Update" becomes today; when new
    /// files were installed "Definition Files Updated" is logged and both tables are reloaded (which may throw
    /// ECipherException). On failure (a download failed, a file is damaged, a file cannot be put in place)
    /// "Last Update", the log and the tables are unchanged, and a half-installed set carries no version record,
    /// so it is never loaded as a whole set. A downloaded version file that cannot be opened or read throws
    /// std::runtime_error naming the file and the file system's error; one in the wrong form is a failure.
    UpdateOutcome Run();

    /// Makes Run refresh the RDAP bootstrap files from `baseAddress` after the definition files, through the same
    /// download and install, and reload them into `bootstrap` (may be null).
    void RefreshBootstrapToo(QByteArray baseAddress, RdapBootstrap* bootstrap)
    {
        m_bootstrapBase = std::move(baseAddress);
        m_bootstrap = bootstrap;
        m_refreshBootstrap = true;
    }

    /// Run(), reduced to whether it succeeded.
    bool UpdateDefinitions() { return Run().Succeeded; }

private:
    struct Fetched
    {
        enum State { NotDownloaded, Damaged, Checked } state;
        QByteArray bytes;
    };
    UpdateOutcome RunDefinitions();
    Fetched FetchChecked(const QByteArray& name, TableKind kind);
    bool Install(const QByteArray& bytes, const QByteArray& name, const QByteArray& backupName);
    bool InstallSet(const Fetched& tld, const Fetched& hostMarks, int version, QString& failure);

    TReg& m_settings;
    LogSink& m_log;
    DefinitionTables& m_definitions;
    DataLocations m_locations;
    DownloadFunction m_download;
    Clock m_clock;
    QByteArray m_baseAddress;
    InstallFunction m_install;
    QByteArray m_bootstrapBase;
    RdapBootstrap* m_bootstrap = nullptr;
    bool m_refreshBootstrap = false;
};

/// The update as the program runs it: downloads through DownloadToCache from the fixed update location,
/// showing the busy state through `busy`.
/// The RDAP bootstrap files are refreshed too (from BootstrapBaseAddress) and reloaded into `bootstrap` (may be
/// null).
UpdateOutcome RunDefinitionUpdate(TReg& settings, LogSink& log, DefinitionTables& definitions,
                                  const DataLocations& locations, const BusyCallback& busy = {},
                                  RdapBootstrap* bootstrap = nullptr);

/// RunDefinitionUpdate, reduced to whether it succeeded.
bool UpdateDefinitions(TReg& settings, LogSink& log, DefinitionTables& definitions, const DataLocations& locations,
                       const BusyCallback& busy = {}, RdapBootstrap* bootstrap = nullptr);

} // namespace vesk
