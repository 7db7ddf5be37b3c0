#include "update/definition_update.h"

#include "common/day_numbers.h"
#include "common/log_sink.h"
#include "defs/definition_file.h"
#include "defs/definition_tables.h"
#include "defs/scrambled_text.h"
#include "settings/settings_store.h"
#include "vesk_version.h"
#include "whois/host_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>
#include <stdexcept>

namespace vesk {

namespace {

// The build's update address, scrambled at compile time so the plain address is not in the program.
constexpr auto kUpdateBase = Scramble<0>(VESK_UPDATE_BASE);

// A downloaded file is read whole; anything larger than this is not a definition or version file.
constexpr qint64 kMaxDownloadedFile = qint64 { 16 } * 1024 * 1024;

// Reads and removes a file that a download left behind.
std::optional<QByteArray> TakeDownloadedFile(const QString& path)
{
    QFile file(path);
    std::optional<QByteArray> bytes;
    if (file.open(QIODevice::ReadOnly) && file.size() <= kMaxDownloadedFile) {
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            bytes.reset();
    }
    file.close();
    file.remove();
    return bytes;
}

// Definition texts are made by our own tool from plain text: control bytes other than line ends and tabs
// mean the container was decrypted with the wrong key or is not ours.
bool LooksLikeText(QByteArrayView plain)
{
    const qsizetype nul = plain.indexOf('\0');
    if (nul >= 0)
        plain = plain.first(nul);
    for (const char c : plain) {
        const auto b = static_cast<uint8_t>(c);
        if (b < 32 && b != '\r' && b != '\n' && b != '\t')
            return false;
    }
    return true;
}

// Reads and removes the downloaded version file. It decides whether anything is fetched, so a file the file
// system will not give is its error, passed on with the file's name; a file too large to be a version file is
// none (nullopt), like one in the wrong form.
std::optional<QByteArray> TakeVersionFile(const QString& path)
{
    QFile file(path);
    const auto fail = [&path](const char* what, const QString& problem) {
        throw std::runtime_error(QStringLiteral("The downloaded version file %1 cannot be %2: %3")
                                     .arg(QDir::toNativeSeparators(path), QString::fromLatin1(what), problem)
                                     .toLocal8Bit()
                                     .toStdString());
    };
    if (!file.open(QIODevice::ReadOnly))
        fail("opened", file.errorString());
    std::optional<QByteArray> bytes;
    if (file.size() <= kMaxDownloadedFile) {
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            const QString problem = file.errorString();
            file.close();
            file.remove();
            fail("read", problem);
        }
    }
    file.close();
    file.remove();
    return bytes;
}

} // namespace

QByteArray UpdateBaseAddress()
{
    return kUpdateBase.Text();
}

bool AutoUpdateDue(const TReg& settings, const QDateTime& now)
{
    return settings.AutoUpdate && DayNumberWithTime(now) > settings.LastUpdate + 30.0;
}

bool IsUsableDefinitionFile(QByteArrayView file, TableKind kind)
{
    QByteArray plain;
    try {
        plain = DecryptDefinitionFile(file, UnscrambleKey());
    } catch (const ECipherException&) {
        return false;
    }
    if (!LooksLikeText(plain))
        return false;
    if (kind == TableKind::Tld) {
        const QList<TTLDData> rows = ParseTldRows(plain);
        return std::any_of(rows.begin(), rows.end(), [](const TTLDData& row) { return !row.Tld.isEmpty(); });
    }
    const QList<THostMark> rows = ParseHostMarkRows(plain);
    return std::any_of(rows.begin(), rows.end(), [](const THostMark& row) { return !row.Host.isEmpty(); });
}

bool InstallDefinitionFile(QByteArrayView bytes, const QString& target, const QString& backup)
{
    // QSaveFile writes beside the target and renames over it on commit; it never writes the target in place.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    // The backup is a copy, so the current file stays installed until the new one replaces it.
    if (QFileInfo(target).isFile()) {
        QFile::remove(backup);
        QFile::copy(target, backup);
    }
    return file.commit();
}

DefinitionUpdate::DefinitionUpdate(TReg& settings, LogSink& log, DefinitionTables& definitions, DataLocations locations,
                                   DownloadFunction download, Clock clock, QByteArray baseAddress,
                                   InstallFunction install)
    : m_settings(settings)
    , m_log(log)
    , m_definitions(definitions)
    , m_locations(std::move(locations))
    , m_download(std::move(download))
    , m_clock(std::move(clock))
    , m_baseAddress(std::move(baseAddress))
    , m_install(std::move(install))
{ }

UpdateOutcome DefinitionUpdate::Run()
{
    UpdateOutcome outcome = RunDefinitions();
    // The bootstrap files follow IANA, not the update location: they are refreshed whatever the definitions did.
    if (m_refreshBootstrap) {
        outcome.BootstrapLines
            = RefreshRdapBootstrap(m_locations, m_bootstrapBase, m_download, m_install, m_log, m_bootstrap).Lines;
    }
    return outcome;
}

UpdateOutcome DefinitionUpdate::RunDefinitions()
{
    UpdateOutcome outcome;
    outcome.Before = CurrentDefinitionSet(m_locations);
    outcome.After = outcome.Before;
    const auto fail = [&outcome](const QString& why) {
        outcome.Failure = why;
        return outcome;
    };

    const QString versionPath = m_download(m_baseAddress + kVersionFileName.Text());
    if (versionPath.isEmpty())
        return fail(QStringLiteral("the version file could not be downloaded"));
    const std::optional<QByteArray> versionFile = TakeVersionFile(versionPath);
    int serverVersion = 0;
    if (!versionFile || !ParseVersionFile(*versionFile, serverVersion))
        return fail(QStringLiteral("the version file is not in the expected form"));
    outcome.ServerVersion = serverVersion;

    const int today = DayNumber(m_clock().date());
    // The installed set decides, not the date of the last check: definitions published before the first run or
    // on the day of a check are still fetched, and a newer set is never replaced by an older one.
    if (outcome.Before.Version && serverVersion <= *outcome.Before.Version) {
        m_settings.LastUpdate = today;
        outcome.Succeeded = true;
        return outcome;
    }

    // Both downloads are checked before either is installed, so a damaged file never leaves the tables half new.
    const struct
    {
        const char* what;
        QByteArray name;
        TableKind kind;
    } files[] = { { "TLD definition file", kTldFileName.Text(), TableKind::Tld },
                  { "server definition file", kHostMarkFileName.Text(), TableKind::Servers } };
    Fetched fetched[2] = {};
    for (int i = 0; i < 2; ++i) {
        fetched[i] = FetchChecked(files[i].name, files[i].kind);
        const QString what = QString::fromLatin1(files[i].what);
        if (fetched[i].state == Fetched::NotDownloaded)
            return fail(QStringLiteral("the %1 could not be downloaded").arg(what));
        if (fetched[i].state == Fetched::Damaged)
            return fail(QStringLiteral("the downloaded %1 is damaged").arg(what));
    }
    QString failure;
    if (!InstallSet(fetched[0], fetched[1], serverVersion, failure))
        return fail(failure);

    outcome.Installed = true;
    outcome.Succeeded = true;
    m_settings.LastUpdate = today;
    m_log.Write("Definition Files Updated");
    outcome.After = CurrentDefinitionSet(m_locations);
    m_definitions.LoadAll(outcome.After.Dir);
    return outcome;
}

bool DefinitionUpdate::InstallSet(const Fetched& tld, const Fetched& hostMarks, int version, QString& failure)
{
    const QString dir = m_locations.UserDataDir;
    const QString place = QDir::toNativeSeparators(dir);
    if (!QDir().mkpath(dir)) {
        failure = QStringLiteral("the folder %1 cannot be created").arg(place);
        return false;
    }
    // The record goes first and comes back last, so a set that is only half replaced is never taken as whole.
    const QString record = QDir(dir).filePath(QString::fromLatin1(kVersionFileName.Text()));
    if (QFileInfo::exists(record) && !QFile::remove(record)) {
        failure = QStringLiteral("the version record in %1 cannot be replaced").arg(place);
        return false;
    }
    bool installed = Install(tld.bytes, kTldFileName.Text(), kTldBackupName.Text());
    // A failure with the first file does not keep the second from being installed.
    installed = Install(hostMarks.bytes, kHostMarkFileName.Text(), kHostMarkBackupName.Text()) && installed;
    if (!installed) {
        failure = QStringLiteral("the definition files could not be written to %1").arg(place);
        return false;
    }
    QSaveFile file(record);
    const QByteArray text = VersionFileText(version);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        failure = QStringLiteral("the version record could not be written to %1").arg(place);
        return false;
    }
    return true;
}

DefinitionUpdate::Fetched DefinitionUpdate::FetchChecked(const QByteArray& name, TableKind kind)
{
    const QString path = m_download(m_baseAddress + name);
    if (path.isEmpty())
        return { Fetched::NotDownloaded, {} };
    std::optional<QByteArray> bytes = TakeDownloadedFile(path);
    // A damaged or foreign download is never installed: the tables would come up empty at the next start.
    if (!bytes || !IsUsableDefinitionFile(*bytes, kind))
        return { Fetched::Damaged, {} };
    return { Fetched::Checked, std::move(*bytes) };
}

bool DefinitionUpdate::Install(const QByteArray& bytes, const QByteArray& name, const QByteArray& backupName)
{
    const QDir dir(m_locations.UserDataDir);
    return m_install(bytes, dir.filePath(QString::fromLatin1(name)), dir.filePath(QString::fromLatin1(backupName)));
}

UpdateOutcome RunDefinitionUpdate(TReg& settings, LogSink& log, DefinitionTables& definitions,
                                  const DataLocations& locations, const BusyCallback& busy, RdapBootstrap* bootstrap)
{
    DefinitionUpdate update(settings, log, definitions, locations,
                            [&busy](const QByteArray& address) { return DownloadToCache(address, busy); });
    update.RefreshBootstrapToo(BootstrapBaseAddress(), bootstrap);
    return update.Run();
}

bool UpdateDefinitions(TReg& settings, LogSink& log, DefinitionTables& definitions, const DataLocations& locations,
                       const BusyCallback& busy, RdapBootstrap* bootstrap)
{
    return RunDefinitionUpdate(settings, log, definitions, locations, busy, bootstrap).Succeeded;
}

} // namespace vesk
