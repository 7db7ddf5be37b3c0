#include "history/pending_reports.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <dirent.h>
#include <limits>

namespace vesk {

namespace {

constexpr quint32 kMagic = 0x56505231; // the format's name and version; a file without it is no pending report
const QLatin1String kSuffix(".report");
// Larger than any report a search may hold: a file beyond it is damaged, and is not read into memory.
constexpr qint64 kLargestFile = qint64(1) << 30;

qint64 ToMs(const QDateTime& time)
{
    return time.isValid() ? time.toMSecsSinceEpoch() : 0;
}

// Numbers little-endian, texts as their UTF-8 length and bytes.
class Writer
{
public:
    void Number(quint64 value)
    {
        char bytes[8];
        qToLittleEndian(value, bytes);
        m_bytes.append(bytes, sizeof bytes);
    }
    void Text(const QString& text)
    {
        const QByteArray utf8 = text.toUtf8();
        Number(quint64(utf8.size()));
        m_bytes.append(utf8);
    }
    const QByteArray& Bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// Reads what Writer wrote; every read checks that the bytes are there, and a failed one fails all after it.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes)
        : m_bytes(bytes)
    { }
    quint64 Number()
    {
        if (!m_ok || m_bytes.size() - m_at < 8) {
            m_ok = false;
            return 0;
        }
        const quint64 value = qFromLittleEndian<quint64>(m_bytes.data() + m_at);
        m_at += 8;
        return value;
    }
    QString Text()
    {
        const quint64 size = Number();
        if (!m_ok || size > quint64(m_bytes.size() - m_at)) {
            m_ok = false;
            return QString();
        }
        const qsizetype at = m_at;
        m_at += qsizetype(size);
        return QString::fromUtf8(m_bytes.sliced(at, qsizetype(size)));
    }
    bool Ok() const { return m_ok; }
    bool AtEnd() const { return m_at == m_bytes.size(); }

private:
    QByteArrayView m_bytes;
    qsizetype m_at = 0;
    bool m_ok = true;
};

// The names of the pending reports in `folder`, in no order, at most `limit`. Read from the directory itself: Qt's
// name filters compile a pattern at every call, which cost a plain search more than saving its report did.
QStringList PendingNames(const QString& folder, qsizetype limit)
{
    QStringList names;
    DIR* dir = opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr)
        return names;
    while (names.size() < limit) {
        const dirent* entry = readdir(dir);
        if (entry == nullptr)
            break;
        const QByteArrayView name(entry->d_name);
        if (name.endsWith(QByteArrayView(kSuffix.data(), kSuffix.size())) && !name.startsWith('.'))
            names.append(QFile::decodeName(entry->d_name));
    }
    closedir(dir);
    return names;
}

std::optional<SearchRecord> ReadReport(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly) || in.size() > kLargestFile)
        return std::nullopt;
    return DecodePendingReport(in.readAll());
}

} // namespace

QByteArray EncodePendingReport(const SearchRecord& search)
{
    Writer out;
    out.Number(kMagic);
    out.Text(search.Typed);
    out.Text(search.Sent);
    out.Text(search.Kind);
    out.Number(quint64(ToMs(search.Started)));
    out.Number(quint64(ToMs(search.Ended)));
    out.Number(quint64(search.Outcome));
    out.Number(quint64(search.Exchanges.size()));
    for (const ExchangeSummary& exchange : search.Exchanges) {
        out.Text(exchange.Protocol);
        out.Text(exchange.Server);
        out.Text(exchange.Outcome);
        out.Number(quint64(exchange.Bytes));
    }
    out.Text(search.Report);
    return out.Bytes();
}

std::optional<SearchRecord> DecodePendingReport(QByteArrayView bytes)
{
    Reader in(bytes);
    if (in.Number() != kMagic)
        return std::nullopt;
    SearchRecord search;
    search.Typed = in.Text();
    search.Sent = in.Text();
    search.Kind = in.Text();
    search.Started = QDateTime::fromMSecsSinceEpoch(qint64(in.Number()), Qt::UTC);
    search.Ended = QDateTime::fromMSecsSinceEpoch(qint64(in.Number()), Qt::UTC);
    const quint64 outcome = in.Number();
    if (outcome > quint64(RecordedOutcome::Failed))
        return std::nullopt;
    search.Outcome = static_cast<RecordedOutcome>(outcome);
    // Each exchange takes at least 32 bytes: a count the file cannot hold is damage, not a reason to allocate.
    const quint64 exchanges = in.Number();
    if (exchanges > quint64(bytes.size()) / 32)
        return std::nullopt;
    for (quint64 i = 0; i < exchanges && in.Ok(); ++i) {
        ExchangeSummary exchange;
        exchange.Protocol = in.Text();
        exchange.Server = in.Text();
        exchange.Outcome = in.Text();
        exchange.Bytes = qint64(in.Number());
        search.Exchanges.append(exchange);
    }
    search.Report = in.Text();
    if (!in.Ok() || !in.AtEnd())
        return std::nullopt;
    return search;
}

QString PendingFolder(const QString& storePath)
{
    return storePath + QStringLiteral("-pending");
}

bool SavePendingReport(const QString& storePath, const SearchRecord& search, QString& error)
{
    const QString folder = PendingFolder(storePath);
    if (!QFileInfo::exists(folder)
        && !QDir().mkdir(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner)
        && !QFileInfo(folder).isDir()) {
        error = QStringLiteral("The folder %1 cannot be created.").arg(folder);
        return false;
    }
    // The name orders the reports by the time the search ended; the process and a counter keep two apart.
    static std::atomic<int> counter { 0 };
    const QString name = QStringLiteral("%1-%2-%3")
                             .arg(ToMs(search.Ended), 13, 10, QLatin1Char('0'))
                             .arg(QCoreApplication::applicationPid())
                             .arg(counter.fetch_add(1));
    const QString target = folder + u'/' + name + kSuffix;
    // Written under a name the readers pass over, then renamed: a reader finds the whole report or none.
    const QString partial = folder + QStringLiteral("/.") + name + QStringLiteral(".partial");
    QFile out(partial);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        error = QStringLiteral("The file %1 cannot be written: %2.").arg(partial, out.errorString());
        return false;
    }
    const QByteArray bytes = EncodePendingReport(search);
    const bool written = out.write(bytes) == bytes.size() && out.flush();
    out.close();
    if (!written || !QFile::rename(partial, target)) {
        error = QStringLiteral("The file %1 cannot be written: %2.").arg(target, out.errorString());
        QFile::remove(partial);
        return false;
    }
    return true;
}

QList<PendingReport> FindPendingReports(const QString& storePath, qsizetype limit)
{
    const QString folder = PendingFolder(storePath);
    QStringList names = PendingNames(folder, std::numeric_limits<qsizetype>::max());
    // The names begin with the time the search ended, in digits of one width.
    std::sort(names.begin(), names.end());
    QList<PendingReport> found;
    for (const QString& name : names) {
        if (found.size() >= limit)
            break;
        const QString file = folder + u'/' + name;
        found.append(PendingReport { file, ReadReport(file) });
    }
    return found;
}

void RemovePendingReports(const QString& storePath)
{
    const QString folder = PendingFolder(storePath);
    for (const QString& name : PendingNames(folder, std::numeric_limits<qsizetype>::max()))
        QFile::remove(folder + u'/' + name);
}

qsizetype CountPendingReports(const QString& storePath, qsizetype limit)
{
    return PendingNames(PendingFolder(storePath), limit).size();
}

} // namespace vesk
