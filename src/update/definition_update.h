/// The definition update: download, check, install and reload of the definition files.
#pragma once

#include "common/clock.h"
#include "update/download_to_cache.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <functional>

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

/// Day number of the newest definitions from a version file's bytes: the second line, trimmed, as a decimal
/// integer. False when there is no such line or it is not an integer.
bool ParseVersionFile(QByteArrayView bytes, int& day);

/// True when `file` is a definition container that decrypts to text with at least one row whose key is set.
/// `tldFile` chooses the row format (TLD rows or server profiles).
bool IsUsableDefinitionFile(QByteArrayView file, bool tldFile);

/// Puts `bytes` in place as `target` so that no reader ever sees it missing or half written: the bytes go to a
/// temporary file beside it, the current file is copied to `backup` (one generation; a failed backup is not an
/// error), then the new file replaces the current one in one rename. Returns false when it could not be put in
/// place; `target` is then the file it was before.
bool InstallDefinitionFile(QByteArrayView bytes, const QString& target, const QString& backup);

/// The definition update: asks the update location for its version file and, when it holds newer
/// definitions than "Last Update", downloads both definition files, checks them, installs them with backups and
/// reloads the tables.
class DefinitionUpdate
{
public:
    /// Installs one checked file; the default is InstallDefinitionFile.
    using InstallFunction = std::function<bool(QByteArrayView bytes, const QString& target, const QString& backup)>;

    /// `executableDir` holds the definition files; `download` fetches the version and definition files from
    /// `baseAddress` + their names.
    DefinitionUpdate(TReg& settings, LogSink& log, DefinitionTables& definitions, QString executableDir,
                     DownloadFunction download, Clock clock = SystemClock(),
                     QByteArray baseAddress = UpdateBaseAddress(), InstallFunction install = InstallDefinitionFile);

    /// True when the version check succeeded and every definition file that was downloaded was checked and
    /// installed. A definition file whose download failed is left as it is and does not make the update fail; a
    /// downloaded file that fails the check makes it fail before anything is installed.
    /// On true "Last Update" becomes today; when new files were asked for, "Definition Files Updated" is logged
    /// and both tables are reloaded (which may throw ECipherException for a damaged file that was already
    /// installed). On false "Last Update", the log and the tables are unchanged. A downloaded version file that
    /// cannot be opened or read throws std::runtime_error naming the file and the file system's error; one in the
    /// wrong form gives false.
    bool UpdateDefinitions();

private:
    struct Fetched
    {
        enum State { NotDownloaded, Damaged, Checked } state;
        QByteArray bytes;
    };
    Fetched FetchChecked(const QByteArray& name, bool tldFile);
    bool Install(const QByteArray& bytes, const QByteArray& name, const QByteArray& backupName);

    TReg& m_settings;
    LogSink& m_log;
    DefinitionTables& m_definitions;
    QString m_executableDir;
    DownloadFunction m_download;
    Clock m_clock;
    QByteArray m_baseAddress;
    InstallFunction m_install;
};

/// The update as the program runs it: downloads through DownloadToCache from the fixed update location,
/// showing the busy state through `busy`. Same result as DefinitionUpdate::UpdateDefinitions.
bool UpdateDefinitions(TReg& settings, LogSink& log, DefinitionTables& definitions, const QString& executableDir,
                       const BusyCallback& busy = {});

} // namespace vesk
