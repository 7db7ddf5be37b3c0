#include "update/definition_update.h"

#include "common/day_numbers.h"
#include "common/log_sink.h"
#include "defs/bootstrap_files.h"
#include "defs/definition_file.h"
#include "defs/definition_tables.h"
#include "defs/scrambled_text.h"
#include "rdap/bootstrap_registry.h"
#include "settings/settings_store.h"
#include "vesk_version.h"
#include "whois/host_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QScopeGuard>
#include <algorithm>
#include <optional>
#include <stdexcept>

namespace vesk {

namespace {

// The build's update address, scrambled at compile time so the plain address is not in the program.
constexpr auto kUpdateBase = Scramble<0>(VESK_UPDATE_BASE);

// A downloaded file is read whole; anything larger than this is not a definition or version file.
constexpr qint64 kMaxDownloadedFile = qint64 { 16 } * 1024 * 1024;

// How far ahead of today a published version may be dated.
constexpr int kMaxDaysAhead = 2;

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

// The bytes of an existing file; nullopt when there is none (or it cannot be read, which then counts as none).
std::optional<QByteArray> ReadExistingFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

// Puts `bytes` in place as `path` in one rename; false when it could not.
bool WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// True when `file` is a definition container that decrypts to text with at least one row whose key is set.
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

// One run of the update, with what it works on and where it fetches from.
class Updater
{
public:
    Updater(const UpdateTargets& targets, const UpdateSources& sources)
        : m_targets(targets)
        , m_sources(sources)
    {
        if (!m_sources.Download) {
            m_sources.Download
                = [busy = m_sources.Busy](const QByteArray& address) { return DownloadToCache(address, busy); };
        }
    }

    UpdateOutcome Run()
    {
        // Two updates at once (the window's monthly check and vesk-query --update) would overwrite each other's
        // backups and records. A lock left by a process that died is taken over; one whose folder cannot be made
        // is not needed, since nothing can be installed there either.
        const QString dir = m_targets.Locations.UserDataDir;
        // A folder made only to hold the lock goes again when nothing was installed into it.
        const bool folderExisted = QFileInfo::exists(dir);
        const auto dropMadeFolder = qScopeGuard([&] {
            if (!folderExisted)
                QDir().rmdir(dir);
        });
        QLockFile lock(QDir(dir).filePath(QStringLiteral("vesk-update.lock")));
        lock.setStaleLockTime(0);
        if (QDir().mkpath(dir) && !lock.tryLock(0) && lock.error() == QLockFile::LockFailedError) {
            UpdateOutcome busy;
            busy.Before = CurrentDefinitionSet(m_targets.Locations);
            busy.After = busy.Before;
            busy.Failure = QStringLiteral("another update is running");
            return busy;
        }
        UpdateOutcome outcome = RunDefinitions();
        // The bootstrap files follow IANA, not the update location: they are refreshed whatever the definitions
        // did.
        if (!m_sources.BootstrapBase.isEmpty())
            outcome.BootstrapLines = RefreshBootstrap();
        lock.unlock();
        return outcome;
    }

private:
    struct Fetched
    {
        enum State { NotDownloaded, Unsigned, Damaged, Checked } state;
        QByteArray bytes;
    };

    UpdateOutcome RunDefinitions();
    Fetched FetchChecked(const QByteArray& name, TableKind kind, const ManifestEntry& entry);
    std::optional<SetManifest> FetchManifest(int version, const QByteArray& versionFile, QString& failure);
    bool Install(const QByteArray& bytes, const QString& name, const QString& backupName);
    bool InstallSet(const Fetched& tld, const Fetched& hostMarks, int version, QString& failure);
    QStringList RefreshBootstrap();

    const UpdateTargets& m_targets;
    UpdateSources m_sources;
};

UpdateOutcome Updater::RunDefinitions()
{
    const DataLocations& locations = m_targets.Locations;
    UpdateOutcome outcome;
    outcome.Before = CurrentDefinitionSet(locations);
    outcome.After = outcome.Before;
    const auto fail = [&outcome](const QString& why) {
        outcome.Failure = why;
        return outcome;
    };

    const QString versionPath = m_sources.Download(m_sources.DefinitionsBase + kVersionFileName.Text());
    if (versionPath.isEmpty())
        return fail(QStringLiteral("the version file could not be downloaded"));
    const std::optional<QByteArray> versionFile = TakeVersionFile(versionPath);
    int serverVersion = 0;
    if (!versionFile || !ParseVersionFile(*versionFile, serverVersion))
        return fail(QStringLiteral("the version file is not in the expected form"));
    outcome.ServerVersion = serverVersion;

    const int today = DayNumber(m_sources.Now().date());
    // A set dated far ahead would beat every later release; a day or two covers time zones and publishing.
    if (serverVersion > today + kMaxDaysAhead)
        return fail(QStringLiteral("the update location names version %1, more than two days after today; "
                                   "refused as implausible")
                        .arg(DescribeVersion(serverVersion)));
    // The installed set decides, not the date of the last check: definitions published before the first run or
    // on the day of a check are still fetched, and a newer set is never replaced by an older one.
    if (outcome.Before.Version && serverVersion <= *outcome.Before.Version) {
        m_targets.Settings.LastUpdate = today;
        outcome.Succeeded = true;
        return outcome;
    }

    // Nothing of the set is trusted before its manifest's signature is: the files are checked against it.
    QString failure;
    const std::optional<SetManifest> manifest = FetchManifest(serverVersion, *versionFile, failure);
    if (!manifest)
        return fail(failure);

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
        const QString what = QString::fromLatin1(files[i].what);
        const QString name = QString::fromLatin1(files[i].name);
        const ManifestEntry* entry = manifest->Find(files[i].name);
        if (entry == nullptr)
            return fail(QStringLiteral("the signed manifest does not name the %1 %2").arg(what, name));
        fetched[i] = FetchChecked(files[i].name, files[i].kind, *entry);
        if (fetched[i].state == Fetched::NotDownloaded)
            return fail(QStringLiteral("the %1 could not be downloaded").arg(what));
        if (fetched[i].state == Fetched::Unsigned)
            return fail(QStringLiteral("file %1 does not match the signed manifest").arg(name));
        if (fetched[i].state == Fetched::Damaged)
            return fail(QStringLiteral("the downloaded %1 is damaged").arg(what));
    }
    if (!InstallSet(fetched[0], fetched[1], serverVersion, failure))
        return fail(failure);

    outcome.Installed = true;
    outcome.Succeeded = true;
    m_targets.Settings.LastUpdate = today;
    m_targets.Log.Write("Definition Files Updated");
    outcome.After = CurrentDefinitionSet(locations);
    m_targets.Definitions.LoadAll(outcome.After.Dir);
    return outcome;
}

bool Updater::InstallSet(const Fetched& tld, const Fetched& hostMarks, int version, QString& failure)
{
    const QString dir = m_targets.Locations.UserDataDir;
    const QString place = QDir::toNativeSeparators(dir);
    if (!QDir().mkpath(dir)) {
        failure = QStringLiteral("the folder %1 cannot be created").arg(place);
        return false;
    }
    // What the folder holds now, so that a failure part way (a full disk) puts back the set in use with its
    // backups; its version record is only replaced once both files are in place.
    const QString names[]
        = { QString::fromLatin1(kTldFileName.Text()), QString::fromLatin1(kHostMarkFileName.Text()),
            QString::fromLatin1(kTldBackupName.Text()), QString::fromLatin1(kHostMarkBackupName.Text()) };
    QList<std::pair<QString, std::optional<QByteArray>>> before;
    for (const QString& name : names) {
        const QString path = QDir(dir).filePath(name);
        before.append({ path, ReadExistingFile(path) });
    }
    const auto restore = [&before, &place](const QString& problem) {
        bool restored = true;
        for (const auto& [path, bytes] : before)
            restored
                = (bytes ? WriteWholeFile(path, *bytes) : !QFileInfo(path).isFile() || QFile::remove(path)) && restored;
        return restored ? problem
                        : problem + QStringLiteral("; the former files could not all be put back in %1").arg(place);
    };
    if (!Install(tld.bytes, names[0], names[2]) || !Install(hostMarks.bytes, names[1], names[3])) {
        failure = restore(QStringLiteral("the definition files could not be written to %1").arg(place));
        return false;
    }
    const QString record = QDir(dir).filePath(QString::fromLatin1(kVersionFileName.Text()));
    if (!WriteWholeFile(record, VersionFileText(version))) {
        failure = restore(QStringLiteral("the version record could not be written to %1").arg(place));
        return false;
    }
    return true;
}

Updater::Fetched Updater::FetchChecked(const QByteArray& name, TableKind kind, const ManifestEntry& entry)
{
    const QString path = m_sources.Download(m_sources.DefinitionsBase + name);
    if (path.isEmpty())
        return { Fetched::NotDownloaded, {} };
    std::optional<QByteArray> bytes = TakeDownloadedFile(path, kMaxDownloadedFile);
    // A truncated, swapped or altered download: only the bytes the release key signed are installed.
    if (!bytes || !MatchesEntry(entry, *bytes))
        return { Fetched::Unsigned, {} };
    // A signed file the program cannot read would leave the tables empty at the next start.
    if (!IsUsableDefinitionFile(*bytes, kind))
        return { Fetched::Damaged, {} };
    return { Fetched::Checked, std::move(*bytes) };
}

std::optional<SetManifest> Updater::FetchManifest(int version, const QByteArray& versionFile, QString& failure)
{
    const auto fetch = [this](const char* name, qint64 maxBytes) -> std::optional<QByteArray> {
        const QString path = m_sources.Download(m_sources.DefinitionsBase + name);
        return path.isEmpty() ? std::nullopt : TakeDownloadedFile(path, maxBytes);
    };
    const std::optional<QByteArray> text = fetch(kManifestFileName, kMaxManifestSize);
    const std::optional<QByteArray> signature
        = text ? fetch(kManifestSignatureFileName, kMaxSignatureSize) : std::nullopt;
    if (!text || !signature || !SignedByOneOf(*text, *signature, m_sources.TrustedKeys)) {
        failure = QStringLiteral("definition set not signed by a release key");
        return std::nullopt;
    }
    std::optional<SetManifest> manifest = ParseManifest(*text);
    if (!manifest) {
        failure = QStringLiteral("the signed manifest is not in the expected form");
        return std::nullopt;
    }
    // The version file is not signed itself: it must tell the version the release key signed.
    if (manifest->Version != version) {
        failure = QStringLiteral("the signed manifest names version %1, the version file %2")
                      .arg(DescribeVersion(manifest->Version), DescribeVersion(version));
        return std::nullopt;
    }
    const QByteArray versionName = kVersionFileName.Text();
    const ManifestEntry* entry = manifest->Find(versionName);
    if (entry != nullptr && !MatchesEntry(*entry, versionFile)) {
        failure = QStringLiteral("file %1 does not match the signed manifest").arg(QString::fromLatin1(versionName));
        return std::nullopt;
    }
    return manifest;
}

bool Updater::Install(const QByteArray& bytes, const QString& name, const QString& backupName)
{
    const QDir dir(m_targets.Locations.UserDataDir);
    return m_sources.Install(bytes, dir.filePath(name), dir.filePath(backupName));
}

// Why the downloaded registry `file` holds too little to be installed; empty when it may be installed.
QString RegistryShortfall(const QString& file, const QByteArray& bytes)
{
    if (file == QLatin1String(kDomainBootstrapFile)) {
        if (IsInstallable(ParseDomainBootstrap(bytes)))
            return QString();
        return QStringLiteral("is not a bootstrap registry of at least %1 TLDs").arg(kMinBootstrapDomains);
    }
    const QString blocks = QStringLiteral("is not a bootstrap registry of at least %1 blocks");
    if (file == QLatin1String(kIPv6BootstrapFile))
        return IsInstallable(ParseIPv6Bootstrap(bytes)) ? QString() : blocks.arg(kMinBootstrapIPv6Blocks);
    if (file == QLatin1String(kAsnBootstrapFile)) {
        if (IsInstallable(ParseAsnBootstrap(bytes)))
            return QString();
        return QStringLiteral("is not a bootstrap registry of at least %1 AS number ranges")
            .arg(kMinBootstrapAsnRanges);
    }
    return IsInstallable(ParseAddressBootstrap(bytes)) ? QString() : blocks.arg(kMinBootstrapBlocks);
}

QStringList Updater::RefreshBootstrap()
{
    const DataLocations& locations = m_targets.Locations;
    QStringList lines;
    // The registries choose every RDAP server; they come from IANA over a checked TLS connection only.
    if (!m_sources.BootstrapBase.startsWith("https://")) {
        lines.append(QStringLiteral("RDAP bootstrap files not refreshed: %1 is not an https address")
                         .arg(QString::fromUtf8(m_sources.BootstrapBase)));
        m_targets.Log.Write(lines.last().toUtf8());
        return lines;
    }
    const QDateTime latest = m_sources.Now().toUTC().addDays(kMaxDaysAhead);
    const QDir dir(locations.UserDataDir);
    for (const char* name : { kDomainBootstrapFile, kAddressBootstrapFile, kIPv6BootstrapFile, kAsnBootstrapFile }) {
        const QString file = QString::fromLatin1(name);
        QString problem;
        const QString path = m_sources.Download(m_sources.BootstrapBase + name);
        const std::optional<QByteArray> bytes
            = path.isEmpty() ? std::nullopt : TakeDownloadedFile(path, kMaxBootstrapFile);
        const std::optional<QDateTime> publication = bytes ? BootstrapPublication(*bytes) : std::nullopt;
        if (!bytes) {
            problem = QStringLiteral("could not be downloaded");
        } else if (!publication) {
            problem = QStringLiteral("has no valid publication time");
        } else if (*publication > latest) {
            problem = QStringLiteral("is dated more than two days ahead (%1)").arg(publication->toString(Qt::ISODate));
        } else if (const QString shortfall = RegistryShortfall(file, *bytes); !shortfall.isEmpty()) {
            problem = shortfall;
        } else if (!QDir().mkpath(locations.UserDataDir)
                   || !m_sources.Install(*bytes, dir.filePath(file), dir.filePath(file + QStringLiteral(".bak")))) {
            problem = QStringLiteral("could not be written to %1").arg(QDir::toNativeSeparators(locations.UserDataDir));
        }
        const QString line = problem.isEmpty()
            ? QStringLiteral("RDAP bootstrap %1 refreshed").arg(file)
            : QStringLiteral("RDAP bootstrap %1 not refreshed: the download %2; the installed file is kept")
                  .arg(file, problem);
        lines.append(line);
        m_targets.Log.Write(line.toUtf8());
    }
    if (m_targets.Bootstrap != nullptr)
        *m_targets.Bootstrap = LoadRdapBootstrap(locations);
    return lines;
}

} // namespace

QByteArray UpdateBaseAddress()
{
    return kUpdateBase.Text();
}

QByteArray BootstrapBaseAddress()
{
    return QByteArray(VESK_RDAP_BOOTSTRAP_BASE);
}

bool AutoUpdateDue(const TReg& settings, const QDateTime& now)
{
    return settings.AutoUpdate && DayNumberWithTime(now) > settings.LastUpdate + 30.0;
}

UpdateOutcome UpdateDefinitions(const UpdateTargets& targets, const UpdateSources& sources)
{
    return Updater(targets, sources).Run();
}

} // namespace vesk
