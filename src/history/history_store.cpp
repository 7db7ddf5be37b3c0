#include "history/history_store.h"

#include "history/pending_reports.h"
#include "lookup/exchange_observer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <limits>
#include <span>
#include <sqlite3.h>
#include <vector>

namespace vesk {

namespace {

// Raise with every change of the tables below and add the step that brings the one before to it.
constexpr int kSchemaVersion = 2;

const char* const kMigrations[kSchemaVersion] = {
    // 0 -> 1: the reports, their texts apart (so that listing and filtering read only small rows), their exchanges,
    // and the running total of stored bytes that retention reads.
    "CREATE TABLE reports("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " key TEXT NOT NULL, kind TEXT NOT NULL, typed TEXT NOT NULL,"
    " started INTEGER NOT NULL, ended INTEGER NOT NULL, outcome INTEGER NOT NULL,"
    " registrar TEXT NOT NULL, expiry TEXT NOT NULL, bytes INTEGER NOT NULL);"
    "CREATE INDEX reports_by_key ON reports(key, kind, id);"
    "CREATE TABLE report_texts(id INTEGER PRIMARY KEY, report TEXT NOT NULL, fields TEXT NOT NULL);"
    "CREATE TABLE exchanges("
    " report_id INTEGER NOT NULL, seq INTEGER NOT NULL,"
    " protocol TEXT NOT NULL, server TEXT NOT NULL, outcome TEXT NOT NULL, bytes INTEGER NOT NULL,"
    " PRIMARY KEY(report_id, seq)) WITHOUT ROWID;"
    "CREATE TABLE totals(bytes INTEGER NOT NULL);"
    "INSERT INTO totals VALUES(0);"
    "CREATE TRIGGER reports_added AFTER INSERT ON reports BEGIN"
    " UPDATE totals SET bytes = bytes + NEW.bytes; END;"
    "CREATE TRIGGER reports_removed AFTER DELETE ON reports BEGIN"
    " DELETE FROM report_texts WHERE id = OLD.id;"
    " DELETE FROM exchanges WHERE report_id = OLD.id;"
    " UPDATE totals SET bytes = bytes - OLD.bytes; END;",
    // 1 -> 2: the name of the pending report a report was taken in from, so that it is taken in once even when the
    // program that took it in ended before it removed the file.
    "ALTER TABLE reports ADD COLUMN pending TEXT;"
    "CREATE UNIQUE INDEX reports_by_pending ON reports(pending) WHERE pending IS NOT NULL;",
};

// A program that opens the store alone reads the whole write-ahead log first (what was copied back is only known
// while some connection is open), so the log is kept short: a connection that finds it longer than this at its
// close copies it back and empties it (two syncs of the disk, some milliseconds). A few dozen searches' worth.
constexpr qint64 kLogBytesAtClose = qint64(512) * 1024;
// While a connection is open (a batch, the window) the copy-back waits for a long log: at every few searches its
// two syncs would take longer than the searches of a fast batch themselves.
constexpr int kLogFramesWhileOpen = 4096;

// Pending reports taken in per transaction: a long backlog is taken in piece by piece, never held all at once.
constexpr qsizetype kPendingPerCommit = 64;

int CopyBackLongLog(void*, sqlite3* db, const char* name, int frames)
{
    // Passive: it never waits for the other connections of a batch. What it copied back is written over by the next
    // commit once no reader needs it.
    if (frames >= kLogFramesWhileOpen)
        sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    return SQLITE_OK;
}

bool IsBrokenFile(int code)
{
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

class Statement
{
public:
    /// A statement of its own, finalised at the end of the scope.
    Statement(sqlite3* db, const char* sql) { m_code = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr); }
    /// The connection's prepared statement for `sql` (a literal: its address is the key), prepared on first use and
    /// only reset at the end of the scope. One already running (a nested use) gets a statement of its own.
    Statement(sqlite3* db, PreparedStatements& prepared, const char* sql)
    {
        for (const auto& [text, statement] : prepared) {
            if (text == sql && sqlite3_stmt_busy(statement) == 0) {
                m_statement = statement;
                m_borrowed = true;
                return;
            }
        }
        m_code = sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
        if (m_code == SQLITE_OK && m_statement != nullptr) {
            prepared.emplace_back(sql, m_statement);
            m_borrowed = true;
        }
    }
    ~Statement()
    {
        if (!m_borrowed) {
            sqlite3_finalize(m_statement);
            return;
        }
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_code == SQLITE_OK || m_code == SQLITE_ROW || m_code == SQLITE_DONE; }
    int Code() const { return m_code; }

    void Bind(int index, const QString& text) { Bind(index, text.toUtf8()); }
    void Bind(int index, const QByteArray& bytes)
    {
        // The statement reads the bytes when it runs; they are kept alive here until then.
        m_kept.push_back(bytes);
        Check(sqlite3_bind_text64(m_statement, index, m_kept.back().constData(),
                                  static_cast<sqlite3_uint64>(m_kept.back().size()), nullptr, SQLITE_UTF8));
    }
    void Bind(int index, qint64 value) { Check(sqlite3_bind_int64(m_statement, index, value)); }

    /// True while there is a row; false at the end or on an error (Ok() tells which).
    bool Step()
    {
        if (!Ok())
            return false;
        m_code = sqlite3_step(m_statement);
        return m_code == SQLITE_ROW;
    }
    /// Runs a statement that gives no rows; true when it succeeded.
    bool Run()
    {
        Step();
        return m_code == SQLITE_DONE;
    }

    QString Text(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(m_statement, column));
    }
    QByteArray Bytes(int column) const
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return QByteArray(text, sqlite3_column_bytes(m_statement, column));
    }
    qint64 Int(int column) const { return sqlite3_column_int64(m_statement, column); }

    /// Ready to run again with new values.
    void Reset()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
        m_kept.clear();
        if (m_code == SQLITE_ROW || m_code == SQLITE_DONE)
            m_code = SQLITE_OK;
    }

private:
    void Check(int code)
    {
        if (Ok() && code != SQLITE_OK)
            m_code = code;
    }

    sqlite3_stmt* m_statement = nullptr;
    bool m_borrowed = false;
    int m_code = SQLITE_OK;
    std::vector<QByteArray> m_kept;
};

QDateTime FromMs(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

qint64 ToMs(const QDateTime& time)
{
    return time.isValid() ? time.toMSecsSinceEpoch() : 0;
}

// The columns id, typed, key, kind, started, ended, outcome, registrar, expiry, in this order.
ReportSummary ReadSummary(const Statement& row)
{
    ReportSummary summary;
    summary.Id = row.Int(0);
    summary.Typed = row.Text(1);
    summary.Key = row.Text(2);
    summary.Kind = row.Text(3);
    summary.Started = FromMs(row.Int(4));
    summary.Ended = FromMs(row.Int(5));
    const qint64 outcome = row.Int(6);
    summary.Outcome = outcome == 1 ? RecordedOutcome::Stopped
        : outcome == 2             ? RecordedOutcome::Failed
                                   : RecordedOutcome::Answered;
    summary.Registrar = row.Text(7);
    summary.Expiry = row.Text(8);
    return summary;
}

qint64 OutcomeNumber(RecordedOutcome outcome)
{
    switch (outcome) {
    case RecordedOutcome::Answered:
        return 0;
    case RecordedOutcome::Stopped:
        return 1;
    case RecordedOutcome::Failed:
        return 2;
    }
    return 2;
}

// LIKE's pattern for "contains `text`", its wildcards taken literally.
QString ContainsPattern(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'%', QStringLiteral("\\%"))
        .replace(u'_', QStringLiteral("\\_"));
    return u'%' + escaped + u'%';
}

} // namespace

QString QueryKindName(QueryKind kind)
{
    switch (kind) {
    case QueryKind::Domain:
        return QStringLiteral("domain");
    case QueryKind::Address:
        return QStringLiteral("address");
    case QueryKind::IPv6:
        return QStringLiteral("ipv6");
    case QueryKind::Asn:
        return QStringLiteral("asn");
    case QueryKind::Cidr:
        return QStringLiteral("cidr");
    case QueryKind::Plain:
        break;
    }
    return QStringLiteral("plain");
}

QString RecordedOutcomeName(RecordedOutcome outcome)
{
    switch (outcome) {
    case RecordedOutcome::Answered:
        return QStringLiteral("answered");
    case RecordedOutcome::Stopped:
        return QStringLiteral("stopped");
    case RecordedOutcome::Failed:
        return QStringLiteral("failed");
    }
    return QString();
}

ExchangeSummary ExchangeSummary::From(const ExchangeEntry& entry)
{
    return ExchangeSummary { QString::fromLatin1(entry.Protocol), QString::fromLatin1(entry.Host),
                             QString::fromLatin1(entry.Outcome), entry.BytesReceived };
}

QString HistoryKey(const QString& query)
{
    const QString trimmed = query.trimmed();
    bool ascii = true;
    for (const QChar c : trimmed)
        ascii = ascii && c.unicode() < 0x80;
    if (!ascii) {
        // A name with an ASCII form is kept under it, so that typing either form finds the same reports.
        const QByteArray ace = QUrl::toAce(trimmed);
        if (!ace.isEmpty())
            return QString::fromLatin1(ace).toLower();
        return trimmed.toLower();
    }
    return trimmed.toLower();
}

HistoryStore::HistoryStore(const QString& path, RetentionLimits limits, int busyTimeoutMs)
    : m_path(path)
    , m_limits(limits)
    , m_busyTimeoutMs(busyTimeoutMs)
{
    Open();
}

HistoryStore::~HistoryStore()
{
    Close();
}

void HistoryStore::Close()
{
    for (const auto& prepared : m_prepared)
        sqlite3_finalize(prepared.second);
    m_prepared.clear();
    if (m_db != nullptr && QFileInfo(m_path + QStringLiteral("-wal")).size() >= kLogBytesAtClose) {
        // Without waiting: while another connection is still open, the last one to close empties the log.
        sqlite3_busy_timeout(m_db, 0);
        sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    }
    if (m_db != nullptr)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool HistoryStore::Open()
{
    const QFileInfo info(m_path);
    if (m_path.isEmpty() || !QDir().mkpath(info.absolutePath())) {
        m_error = QStringLiteral("The history folder %1 cannot be created.").arg(info.absolutePath());
        return false;
    }
    if (!info.exists()) {
        // Made here rather than by SQLite so that it is private from the start; SQLite gives its journal files
        // the same permissions. Another process creating it at the same moment is no failure.
        QFile file(m_path);
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (OpenConnection()) {
        TakeInPending();
        return true;
    }
    if (m_db == nullptr || !IsBrokenFile(sqlite3_extended_errcode(m_db))) {
        Close();
        return false;
    }
    // A file that is not a store, or a damaged one: kept for whoever wants to look, and a fresh one made.
    if (!SetAside(m_error))
        return false;
    QFile file(m_path);
    file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (OpenConnection()) {
        TakeInPending();
        return true;
    }
    Close();
    return false;
}

void HistoryStore::TakeInPending()
{
    for (;;) {
        const QList<PendingReport> pending = FindPendingReports(m_path, kPendingPerCommit);
        if (pending.isEmpty())
            return;
        if (!Exec("BEGIN IMMEDIATE;")) {
            m_error.clear(); // they wait for the next opener; the store itself is fine
            return;
        }
        bool ok = true;
        for (const PendingReport& report : pending) {
            if (!report.Search || !ok)
                continue;
            // Another program may have taken it in and not yet removed its file: a report is kept once.
            const QString name = QFileInfo(report.File).completeBaseName();
            Statement known(m_db, m_prepared, "SELECT 1 FROM reports WHERE pending = ?;");
            known.Bind(1, name);
            if (known.Step())
                continue;
            SearchRecord search = *report.Search;
            search.Fields = ExtractReportFields(search.Report.split(u'\n'));
            ok = known.Ok() && RecordLocked(search, name).has_value();
        }
        if (!ok || !Exec("COMMIT;")) {
            Exec("ROLLBACK;");
            m_error.clear();
            return;
        }
        bool cleared = true;
        for (const PendingReport& report : pending) {
            // A file that is no report is kept for whoever wants to look, out of the way of the next opener.
            const bool gone = report.Search ? QFile::remove(report.File)
                                            : QFile::rename(report.File, report.File + QStringLiteral(".broken"));
            // Another program may have removed it first.
            cleared = cleared && (gone || !QFileInfo::exists(report.File));
        }
        // Files that stay where they are would be found again and again.
        if (!cleared || pending.size() < kPendingPerCommit)
            return;
    }
}

bool HistoryStore::OpenConnection()
{
    const int code = sqlite3_open_v2(QFile::encodeName(m_path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
    if (code != SQLITE_OK)
        return Fail(QStringLiteral("The history file %1 cannot be opened").arg(m_path));
    sqlite3_busy_timeout(m_db, m_busyTimeoutMs);
    // The last connection to close would copy the write-ahead log back into the file and sync both: a command-line
    // search would pay that every time. The log stays instead, and is copied back once it is long.
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_wal_hook(m_db, &CopyBackLongLog, nullptr);
    // For this connection only, and no file access. In WAL mode NORMAL loses no committed report when the program
    // ends, only on a power cut.
    if (!Exec("PRAGMA synchronous = NORMAL;"))
        return false;
    // Nothing is written before the version is known: a newer program's store stays exactly as it is.
    const int found = SchemaVersion();
    if (found < 0)
        return false;
    if (found > kSchemaVersion) {
        m_error = QStringLiteral("The history file %1 was written by a newer version of this program (schema %2; "
                                 "this one knows %3).")
                      .arg(m_path)
                      .arg(found)
                      .arg(kSchemaVersion);
        return false;
    }
    if (found == kSchemaVersion)
        return true;
    if (found == 0) {
        // A new store. Both settings are kept in the file, so later openers need neither: auto_vacuum only takes
        // effect on a store without tables (it lets Prune shrink the file), and the journal mode is remembered.
        if (!Exec("PRAGMA auto_vacuum = INCREMENTAL;"))
            return false;
        Statement wal(m_db, "PRAGMA journal_mode = WAL;");
        wal.Step();
        if (!wal.Ok())
            return Fail(QStringLiteral("The history file %1 cannot be read").arg(m_path));
    }
    return Migrate();
}

int HistoryStore::SchemaVersion()
{
    Statement version(m_db, "PRAGMA user_version;");
    if (!version.Step()) {
        Fail(QStringLiteral("The history file %1 cannot be read").arg(m_path));
        return -1;
    }
    const int found = static_cast<int>(version.Int(0));
    // Reading the schema proves the file is a database; a damaged one shows here.
    Statement schema(m_db, m_prepared, "SELECT count(*) FROM sqlite_schema;");
    if (!schema.Step()) {
        Fail(QStringLiteral("The history file %1 cannot be read").arg(m_path));
        return -1;
    }
    return found;
}

bool HistoryStore::Migrate()
{
    if (!Exec("BEGIN IMMEDIATE;"))
        return false;
    const auto rollback = [this] {
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        return false;
    };
    // Another process may have migrated while this one waited for the lock.
    const int found = SchemaVersion();
    if (found < 0 || found > kSchemaVersion)
        return rollback();
    for (int step = found; step < kSchemaVersion; ++step) {
        if (!Exec(kMigrations[step]))
            return rollback();
    }
    const QByteArray setVersion = "PRAGMA user_version = " + QByteArray::number(kSchemaVersion) + ';';
    if (!Exec(setVersion.constData()) || !Exec("COMMIT;"))
        return rollback();
    return true;
}

bool HistoryStore::SetAside(const QString& reason)
{
    Close();
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = m_path + QStringLiteral(".broken-") + stamp;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = m_path + QStringLiteral(".broken-") + stamp + u'-' + QString::number(n);
    if (!QFile::rename(m_path, target)) {
        m_error = reason + QStringLiteral("; it cannot be set aside as %1 either.").arg(target);
        return false;
    }
    // The journal files belong to the damaged file and go with it.
    for (const QLatin1String suffix : { QLatin1String("-wal"), QLatin1String("-shm") }) {
        if (QFileInfo::exists(m_path + suffix))
            QFile::rename(m_path + suffix, target + suffix);
    }
    m_setAside = target;
    m_error = reason + QStringLiteral("; it was set aside as %1 and a new history begun.").arg(target);
    return true;
}

bool HistoryStore::Fail(const QString& what)
{
    m_error = what + QStringLiteral(": ")
        + (m_db != nullptr ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory")) + u'.';
    return false;
}

bool HistoryStore::Exec(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    m_error = QStringLiteral("The history file %1 cannot be used: %2.").arg(m_path, QString::fromUtf8(message));
    sqlite3_free(message);
    return false;
}

std::optional<qint64> HistoryStore::Record(const SearchRecord& search)
{
    const std::optional<std::vector<qint64>> ids = Record(std::span(&search, 1));
    return ids ? std::optional<qint64>(ids->front()) : std::nullopt;
}

std::optional<std::vector<qint64>> HistoryStore::Record(std::span<const SearchRecord> searches)
{
    // Reports that other programs left pending ended before these: they come first.
    if (m_db != nullptr)
        TakeInPending();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (m_db == nullptr)
            return std::nullopt;
        m_error.clear();
        std::vector<qint64> ids;
        ids.reserve(searches.size());
        bool ok = Exec("BEGIN IMMEDIATE;");
        for (const SearchRecord& search : searches) {
            const std::optional<qint64> id = ok ? RecordLocked(search) : std::nullopt;
            ok = id.has_value();
            if (ok)
                ids.push_back(*id);
        }
        if (ok && Exec("COMMIT;"))
            return ids;
        if (m_error.isEmpty())
            Fail(QStringLiteral("The search cannot be recorded in %1").arg(m_path));
        const int code = sqlite3_extended_errcode(m_db);
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        // A store found damaged while writing is set aside and the searches recorded in a fresh one.
        if (!IsBrokenFile(code) || attempt > 0 || !SetAside(error) || !Open())
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<qint64> HistoryStore::RecordLocked(const SearchRecord& search, const QString& pending)
{
    const QString key = HistoryKey(search.Sent);
    const QByteArray report = search.Report.toUtf8();
    const QByteArray fields = FieldsToJson(search.Fields);
    qint64 bytes = report.size() + fields.size() + search.Typed.size() + key.size() + search.Kind.size();
    for (const ExchangeSummary& exchange : search.Exchanges)
        bytes += exchange.Protocol.size() + exchange.Server.size() + exchange.Outcome.size() + 16;

    Statement insert(m_db, m_prepared,
                     "INSERT INTO reports(key, kind, typed, started, ended, outcome, registrar, expiry,"
                     " bytes, pending) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?);");
    insert.Bind(1, key);
    insert.Bind(2, search.Kind);
    insert.Bind(3, search.Typed);
    insert.Bind(4, ToMs(search.Started));
    insert.Bind(5, ToMs(search.Ended));
    insert.Bind(6, OutcomeNumber(search.Outcome));
    insert.Bind(7, RegistrarOf(search.Fields));
    insert.Bind(8, ExpiryOf(search.Fields));
    insert.Bind(9, bytes);
    if (!pending.isEmpty())
        insert.Bind(10, pending);
    if (!insert.Run())
        return std::nullopt;
    const qint64 id = sqlite3_last_insert_rowid(m_db);
    Statement text(m_db, m_prepared, "INSERT INTO report_texts(id, report, fields) VALUES(?, ?, ?);");
    text.Bind(1, id);
    text.Bind(2, report);
    text.Bind(3, fields);
    if (!text.Run())
        return std::nullopt;
    Statement row(m_db, m_prepared,
                  "INSERT INTO exchanges(report_id, seq, protocol, server, outcome, bytes)"
                  " VALUES(?, ?, ?, ?, ?, ?);");
    for (qsizetype i = 0; i < search.Exchanges.size(); ++i) {
        const ExchangeSummary& e = search.Exchanges[i];
        row.Reset();
        row.Bind(1, id);
        row.Bind(2, qint64(i));
        row.Bind(3, e.Protocol);
        row.Bind(4, e.Server);
        row.Bind(5, e.Outcome);
        row.Bind(6, e.Bytes);
        if (!row.Run())
            return std::nullopt;
    }
    if (!PruneLocked(key, search.Kind, id))
        return std::nullopt;
    return id;
}

bool HistoryStore::PruneLocked(const QString& key, const QString& kind, qint64 keep)
{
    if (m_limits.ReportsPerKey > 0) {
        Statement perKey(m_db, m_prepared,
                         "DELETE FROM reports WHERE key = ?1 AND kind = ?2 AND id <= (SELECT id FROM reports"
                         " WHERE key = ?1 AND kind = ?2 ORDER BY id DESC LIMIT 1 OFFSET ?3);");
        perKey.Bind(1, key);
        perKey.Bind(2, kind);
        perKey.Bind(3, qint64(m_limits.ReportsPerKey));
        if (!perKey.Run())
            return false;
    }
    if (m_limits.TotalBytes <= 0)
        return true;
    Statement total(m_db, m_prepared, "SELECT bytes FROM totals;");
    if (!total.Step())
        return false;
    if (total.Int(0) <= m_limits.TotalBytes)
        return true;
    // `keep`, the newest report, always stays, even one larger than the whole limit.
    Statement oldest(m_db, m_prepared, "DELETE FROM reports WHERE id = (SELECT min(id) FROM reports WHERE id < ?);");
    for (;;) {
        oldest.Reset();
        oldest.Bind(1, keep);
        if (!oldest.Run())
            return false;
        if (sqlite3_changes(m_db) == 0)
            return true;
        total.Reset();
        if (!total.Step())
            return false;
        if (total.Int(0) <= m_limits.TotalBytes)
            return true;
    }
}

std::optional<StoredReport> HistoryStore::ReadReport(qint64 id)
{
    Statement read(m_db, m_prepared,
                   "SELECT r.id, typed, key, kind, started, ended, outcome, registrar, expiry, report, fields"
                   " FROM reports AS r JOIN report_texts AS t ON t.id = r.id WHERE r.id = ?;");
    read.Bind(1, id);
    if (!read.Step()) {
        if (!read.Ok())
            Fail(QStringLiteral("The history file %1 cannot be read").arg(m_path));
        return std::nullopt;
    }
    const ReportSummary summary = ReadSummary(read);
    StoredReport report;
    report.Id = summary.Id;
    report.Typed = summary.Typed;
    report.Sent = summary.Key;
    report.Kind = summary.Kind;
    report.Started = summary.Started;
    report.Ended = summary.Ended;
    report.Outcome = summary.Outcome;
    report.Report = read.Text(9);
    report.Fields = FieldsFromJson(read.Bytes(10));

    Statement exchanges(m_db, m_prepared,
                        "SELECT protocol, server, outcome, bytes FROM exchanges WHERE report_id = ? ORDER BY seq;");
    exchanges.Bind(1, id);
    while (exchanges.Step())
        report.Exchanges.append(
            ExchangeSummary { exchanges.Text(0), exchanges.Text(1), exchanges.Text(2), exchanges.Int(3) });
    if (!exchanges.Ok()) {
        Fail(QStringLiteral("The history file %1 cannot be read").arg(m_path));
        return std::nullopt;
    }
    return report;
}

std::optional<StoredReport> HistoryStore::Previous(const QString& query, const QString& kind,
                                                   std::optional<qint64> beforeId)
{
    if (m_db == nullptr)
        return std::nullopt;
    // What other programs left pending since this connection opened counts too.
    TakeInPending();
    m_error.clear();
    Statement find(m_db, m_prepared,
                   "SELECT id FROM reports WHERE key = ? AND kind = ? AND id < ? AND outcome = 0"
                   " ORDER BY id DESC LIMIT 1;");
    find.Bind(1, HistoryKey(query));
    find.Bind(2, kind);
    find.Bind(3, beforeId.value_or(std::numeric_limits<qint64>::max()));
    if (!find.Step()) {
        if (!find.Ok())
            Fail(QStringLiteral("The history file %1 cannot be read").arg(m_path));
        return std::nullopt;
    }
    return ReadReport(find.Int(0));
}

QList<ReportSummary> HistoryStore::List(const QString& query, const QString& kind)
{
    QList<ReportSummary> list;
    if (m_db == nullptr)
        return list;
    // What other programs left pending since this connection opened counts too.
    TakeInPending();
    m_error.clear();
    Statement read(m_db, m_prepared,
                   "SELECT id, typed, key, kind, started, ended, outcome, registrar, expiry FROM reports WHERE key = ? "
                   "AND kind = ? ORDER BY id DESC;");
    read.Bind(1, HistoryKey(query));
    read.Bind(2, kind);
    while (read.Step())
        list.append(ReadSummary(read));
    if (!read.Ok()) {
        Fail(QStringLiteral("The history file %1 cannot be read").arg(m_path));
        list.clear();
    }
    return list;
}

std::optional<StoredReport> HistoryStore::Show(const QString& query, const QString& kind, int rank)
{
    if (m_db == nullptr || rank < 1)
        return std::nullopt;
    m_error.clear();
    Statement find(m_db, m_prepared,
                   "SELECT id FROM reports WHERE key = ? AND kind = ? ORDER BY id DESC LIMIT 1 OFFSET ?;");
    find.Bind(1, HistoryKey(query));
    find.Bind(2, kind);
    find.Bind(3, qint64(rank - 1));
    if (!find.Step()) {
        if (!find.Ok())
            Fail(QStringLiteral("The history file %1 cannot be read").arg(m_path));
        return std::nullopt;
    }
    return ReadReport(find.Int(0));
}

std::optional<StoredReport> HistoryStore::Report(qint64 id)
{
    if (m_db == nullptr)
        return std::nullopt;
    m_error.clear();
    return ReadReport(id);
}

QList<ReportSummary> HistoryStore::Search(const QString& text, int limit)
{
    QList<ReportSummary> list;
    if (m_db == nullptr || limit <= 0)
        return list;
    // What other programs left pending since this connection opened counts too.
    TakeInPending();
    m_error.clear();
    Statement read(m_db, m_prepared,
                   "SELECT id, typed, key, kind, started, ended, outcome, registrar, expiry FROM reports WHERE typed "
                   "LIKE ?1 ESCAPE '\\' OR key LIKE ?1"
                   " ESCAPE '\\' ORDER BY id DESC LIMIT ?2;");
    read.Bind(1, ContainsPattern(text.trimmed()));
    read.Bind(2, qint64(limit));
    while (read.Step())
        list.append(ReadSummary(read));
    if (!read.Ok()) {
        Fail(QStringLiteral("The history file %1 cannot be read").arg(m_path));
        list.clear();
    }
    return list;
}

bool HistoryStore::Clear()
{
    if (m_db == nullptr)
        return false;
    m_error.clear();
    // Reports left pending are part of the history too.
    RemovePendingReports(m_path);
    if (!Exec("BEGIN IMMEDIATE;"))
        return false;
    if (!Exec("DELETE FROM reports; DELETE FROM report_texts; DELETE FROM exchanges; UPDATE totals SET bytes = 0;")
        || !Exec("COMMIT;")) {
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        return false;
    }
    // The freed pages go back to the file system, the log included; a failure here loses nothing.
    Exec("PRAGMA incremental_vacuum; PRAGMA wal_checkpoint(TRUNCATE);");
    m_error.clear();
    return true;
}

bool HistoryStore::Prune()
{
    if (m_db == nullptr)
        return false;
    m_error.clear();
    TakeInPending();
    if (!Exec("BEGIN IMMEDIATE;"))
        return false;
    bool ok = true;
    if (m_limits.ReportsPerKey > 0) {
        Statement perKey(m_db, m_prepared,
                         "DELETE FROM reports WHERE id IN (SELECT id FROM (SELECT id, row_number() OVER"
                         " (PARTITION BY key, kind ORDER BY id DESC) AS age FROM reports) WHERE age > ?);");
        perKey.Bind(1, qint64(m_limits.ReportsPerKey));
        ok = perKey.Run();
    }
    if (ok) {
        // The total alone, with no key whose count is over: the per-key step above has run.
        Statement newest(m_db, m_prepared, "SELECT max(id) FROM reports;");
        ok = newest.Step();
        const int perKey = m_limits.ReportsPerKey;
        m_limits.ReportsPerKey = 0;
        ok = ok && PruneLocked(QString(), QString(), newest.Int(0));
        m_limits.ReportsPerKey = perKey;
    }
    if (!ok || !Exec("COMMIT;")) {
        if (m_error.isEmpty())
            Fail(QStringLiteral("The history file %1 cannot be pruned").arg(m_path));
        const QString error = m_error;
        Exec("ROLLBACK;");
        m_error = error;
        return false;
    }
    Exec("PRAGMA incremental_vacuum; PRAGMA wal_checkpoint(TRUNCATE);");
    m_error.clear();
    return true;
}

qint64 HistoryStore::StoredBytes()
{
    if (m_db == nullptr)
        return 0;
    Statement total(m_db, m_prepared, "SELECT bytes FROM totals;");
    return total.Step() ? total.Int(0) : 0;
}

ChangesSincePrevious CompareWithPrevious(HistoryStore& store, const SearchRecord& search,
                                         std::optional<qint64> recordedId)
{
    ChangesSincePrevious result;
    result.Previous = store.Previous(search.Sent, search.Kind, recordedId);
    if (!result.Previous) {
        const QString typed = search.Typed.trimmed();
        result.Section = NoEarlierReportSection(typed.isEmpty() ? search.Sent : typed);
        return result;
    }
    result.Changes = CompareFields(result.Previous->Fields, search.Fields);
    result.Section = ChangesSection(result.Changes, result.Previous->Started);
    return result;
}

} // namespace vesk
