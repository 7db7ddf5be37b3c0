#include "update/definition_update.h"

#include "common/day_numbers.h"
#include "common/log_sink.h"
#include "defs/definition_file.h"
#include "defs/definition_tables.h"
#include "defs/scrambled_text.h"
#include "settings/settings_store.h"
#include "vesk_version.h"

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
constexpr qint64 kMaxDownloadedFile = 16 * 1024 * 1024;

// Trimming as everywhere in the program: every byte of code 32 or less at either end.
QByteArrayView Trimmed(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<uint8_t>(text[begin]) <= 32)
        ++begin;
    while (end > begin && static_cast<uint8_t>(text[end - 1]) <= 32)
        --end;
    return text.sliced(begin, end - begin);
}

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

bool ParseVersionFile(QByteArrayView bytes, int& day)
{
    // Lines end in LF, CR LF or a lone CR; the first line is a comment.
    qsizetype firstEnd = -1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            firstEnd = i;
            break;
        }
    }
    if (firstEnd < 0)
        return false;
    qsizetype start = firstEnd + 1;
    if (bytes[firstEnd] == '\r' && start < bytes.size() && bytes[start] == '\n')
        ++start;
    if (start >= bytes.size())
        return false;
    qsizetype end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
        ++end;
    const QByteArrayView line = Trimmed(bytes.sliced(start, end - start));
    bool ok = false;
    const int value = line.toByteArray().toInt(&ok, 10);
    if (!ok)
        return false;
    day = value;
    return true;
}

bool IsUsableDefinitionFile(QByteArrayView file, bool tldFile)
{
    QByteArray plain;
    try {
        plain = DecryptDefinitionFile(file, UnscrambleKey());
    } catch (const ECipherException&) {
        return false;
    }
    if (!LooksLikeText(plain))
        return false;
    if (tldFile) {
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

DefinitionUpdate::DefinitionUpdate(TReg& settings, LogSink& log, DefinitionTables& definitions, QString executableDir,
                                   DownloadFunction download, Clock clock, QByteArray baseAddress,
                                   InstallFunction install)
    : m_settings(settings)
    , m_log(log)
    , m_definitions(definitions)
    , m_executableDir(std::move(executableDir))
    , m_download(std::move(download))
    , m_clock(std::move(clock))
    , m_baseAddress(std::move(baseAddress))
    , m_install(std::move(install))
{ }

bool DefinitionUpdate::UpdateDefinitions()
{
    const QString versionPath = m_download(m_baseAddress + kVersionFileName.Text());
    if (versionPath.isEmpty())
        return false;
    const std::optional<QByteArray> versionFile = TakeVersionFile(versionPath);
    int serverDay = 0;
    if (!versionFile || !ParseVersionFile(*versionFile, serverDay))
        return false;

    const int today = DayNumber(m_clock().date());
    if (serverDay <= m_settings.LastUpdate) {
        m_settings.LastUpdate = today;
        return true;
    }

    // Both downloads are checked before either is installed, so a damaged file never leaves the tables half new.
    // A file whose download failed is left as it is.
    const Fetched tld = FetchChecked(kTldFileName.Text(), true);
    const Fetched hostMarks = FetchChecked(kHostMarkFileName.Text(), false);
    if (tld.state == Fetched::Damaged || hostMarks.state == Fetched::Damaged)
        return false;
    bool installed = true;
    if (tld.state == Fetched::Checked)
        installed = Install(tld.bytes, kTldFileName.Text(), kTldBackupName.Text());
    // A failure with the first file does not keep the second from being installed.
    if (hostMarks.state == Fetched::Checked)
        installed = Install(hostMarks.bytes, kHostMarkFileName.Text(), kHostMarkBackupName.Text()) && installed;
    if (!installed)
        return false;

    m_settings.LastUpdate = today;
    m_log.Write("Definition Files Updated");
    m_definitions.LoadAll(m_executableDir);
    return true;
}

DefinitionUpdate::Fetched DefinitionUpdate::FetchChecked(const QByteArray& name, bool tldFile)
{
    const QString path = m_download(m_baseAddress + name);
    if (path.isEmpty())
        return { Fetched::NotDownloaded, {} };
    std::optional<QByteArray> bytes = TakeDownloadedFile(path);
    // A damaged or foreign download is never installed: the tables would come up empty at the next start.
    if (!bytes || !IsUsableDefinitionFile(*bytes, tldFile))
        return { Fetched::Damaged, {} };
    return { Fetched::Checked, std::move(*bytes) };
}

bool DefinitionUpdate::Install(const QByteArray& bytes, const QByteArray& name, const QByteArray& backupName)
{
    const QDir dir(m_executableDir);
    return m_install(bytes, dir.filePath(QString::fromLatin1(name)), dir.filePath(QString::fromLatin1(backupName)));
}

bool UpdateDefinitions(TReg& settings, LogSink& log, DefinitionTables& definitions, const QString& executableDir,
                       const BusyCallback& busy)
{
    DefinitionUpdate update(settings, log, definitions, executableDir,
                            [&busy](const QByteArray& address) { return DownloadToCache(address, busy); });
    return update.UpdateDefinitions();
}

} // namespace vesk
