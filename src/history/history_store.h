/// The history store: every completed search kept in an SQLite file, for looking back and for saying what changed.
#pragma once

#include "history/report_changes.h"
#include "history/report_fields.h"
#include "lookup/search_dispatch.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>
#include <span>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vesk {

struct ExchangeEntry;

/// A connection's prepared statements by the address of their text.
using PreparedStatements = std::vector<std::pair<const char*, sqlite3_stmt*>>;

enum class RecordedOutcome : uint8_t {
    Answered, ///< at least one server answered
    Stopped, ///< the user stopped the search
    Failed, ///< no server answered, or the search ended with an error
};

/// The kind of report the history keys a search by: "domain", "address" or "plain".
QString QueryKindName(QueryKind kind);

/// "answered", "stopped" or "failed".
QString RecordedOutcomeName(RecordedOutcome outcome);

/// One exchange of a search, as far as the history keeps it.
struct ExchangeSummary
{
    QString Protocol; ///< "whois" or "rdap"
    QString Server;
    QString Outcome; ///< "answered", "no-match", or the transport's failure token
    qint64 Bytes = 0;

    /// What the history keeps of an exchange the engine told its observer about.
    static ExchangeSummary From(const ExchangeEntry& entry);
    friend bool operator==(const ExchangeSummary&, const ExchangeSummary&) = default;
};

/// A completed search as the history records it.
struct SearchRecord
{
    QString Typed; ///< the query as typed
    QString Sent; ///< the query as sent; the store keys reports by HistoryKey(Sent) and Kind
    QString Kind; ///< the report kind ("domain", "address", "plain", ...)
    QDateTime Started; ///< any time spec; kept as UTC
    QDateTime Ended;
    RecordedOutcome Outcome = RecordedOutcome::Answered;
    QList<ExchangeSummary> Exchanges;
    QString Report; ///< the worksheet text, lines separated by LF
    ReportFields Fields; ///< ExtractReportFields of the report's lines
};

/// A recorded search read back; times are UTC.
struct StoredReport : SearchRecord
{
    qint64 Id = 0; ///< grows with every record; a later record has a greater id
};

/// One line of a listing: a recorded search without its report text.
struct ReportSummary
{
    qint64 Id = 0;
    QString Typed;
    QString Key;
    QString Kind;
    QDateTime Started; ///< UTC
    QDateTime Ended; ///< UTC
    RecordedOutcome Outcome = RecordedOutcome::Answered;
    QString Registrar;
    QString Expiry; ///< the registry's expiry date as written, else the registrar's
};

/// How much the store keeps; the oldest reports go first.
struct RetentionLimits
{
    int ReportsPerKey = 100; ///< of one query and kind; 0 or less: no limit
    qint64 TotalBytes = qint64(1) << 30; ///< of all stored text together; 0 or less: no limit
};

/// The key a query is stored under: trimmed, an international domain name in its ASCII form (A-labels), lower case.
QString HistoryKey(const QString& query);

/// The history store on one SQLite file. One object holds one connection: use it on one thread only, and give every
/// thread (and process) that records its own object on the same file; SQLite makes their writes wait for each other
/// (WAL mode, a busy time-out, every write in one immediate transaction), so none is lost.
///
/// A store that cannot be used never stops a search: every call then fails with a value (false, none, an empty list)
/// and Error() says why. A file that is not a database or is damaged is set aside under a new name (never deleted)
/// and a fresh store takes its place; SetAsidePath() names where it went.
class HistoryStore
{
public:
    /// Opens or creates the store at `path` (and its folder), created readable by its owner only, and brings its
    /// schema up to date. `busyTimeoutMs` is how long a write waits for another writer.
    explicit HistoryStore(const QString& path, RetentionLimits limits = RetentionLimits(), int busyTimeoutMs = 10000);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    /// False when the store could not be opened; Error() says why.
    bool Available() const { return m_db != nullptr; }
    /// Why the store is unavailable or why its last call failed; empty when it did not.
    QString Error() const { return m_error; }
    /// Where a broken store file was set aside when this object opened it; empty when none was.
    QString SetAsidePath() const { return m_setAside; }
    QString Path() const { return m_path; }

    /// Records a completed search and applies the retention limits; the id of the new report, or none on failure.
    std::optional<qint64> Record(const SearchRecord& search);
    /// Records completed searches in one transaction, the limits applied after each: a batch's searches that
    /// finished together share one commit. Their ids in the same order, or none (and none recorded) on failure.
    std::optional<std::vector<qint64>> Record(std::span<const SearchRecord> searches);

    /// The newest answered report of `query` (HistoryKey) and `kind` recorded before the report `beforeId` (every
    /// report when none); stopped and failed searches never count. None when there is no such report.
    std::optional<StoredReport> Previous(const QString& query, const QString& kind,
                                         std::optional<qint64> beforeId = std::nullopt);
    /// The recorded reports of `query` and `kind`, newest first, every outcome.
    QList<ReportSummary> List(const QString& query, const QString& kind);
    /// The report of `query` and `kind` at `rank` in List (1 = newest); none when there are fewer.
    std::optional<StoredReport> Show(const QString& query, const QString& kind, int rank);
    /// The report recorded under `id` (ReportSummary::Id); none when there is no such report.
    std::optional<StoredReport> Report(qint64 id);
    /// Recorded searches whose query as typed or as sent contains `text` (ignoring the case of ASCII letters; every
    /// search for the empty text), newest first, at most `limit`.
    QList<ReportSummary> Search(const QString& text, int limit = 1000);

    /// Removes every report. False on failure.
    bool Clear();
    /// Applies the retention limits now and gives the freed space back to the file system. False on failure.
    bool Prune();

    /// Bytes of stored text counted against RetentionLimits::TotalBytes.
    qint64 StoredBytes();

private:
    bool Open();
    bool OpenConnection();
    /// Records the reports that programs left pending beside the store, oldest first. A report that cannot be
    /// taken in now waits for the next opener; it never makes the store unavailable.
    void TakeInPending();
    int SchemaVersion();
    bool Migrate();
    void Close();
    bool SetAside(const QString& reason);
    bool Fail(const QString& what);
    bool Exec(const char* sql);
    /// Records one search inside the caller's transaction and applies the limits; its id, or none on failure.
    /// `pending`: the name of the pending report it was taken in from.
    std::optional<qint64> RecordLocked(const SearchRecord& search, const QString& pending = QString());
    /// Applies the limits inside the caller's transaction; `keep` (the newest report) is never removed.
    bool PruneLocked(const QString& key, const QString& kind, qint64 keep);
    std::optional<StoredReport> ReadReport(qint64 id);

    QString m_path;
    RetentionLimits m_limits;
    int m_busyTimeoutMs;
    sqlite3* m_db = nullptr;
    PreparedStatements m_prepared; ///< kept while the connection is open: a batch or the window records many times
    QString m_error;
    QString m_setAside;
};

/// What a new report changed since the previous one of its query and kind.
struct ChangesSincePrevious
{
    std::optional<StoredReport> Previous; ///< the previous answered report; none when there is no earlier one
    QList<FieldChange> Changes;
    QStringList Section; ///< the lines that end the new report: ChangesSection or NoEarlierReportSection
};

/// Compares `search` with the newest answered report of its query and kind in `store` recorded before `recordedId`
/// (the id Record gave `search`; none when it was not recorded). With no earlier report (or an unavailable store,
/// whose Error() says why) the section says "No earlier report of" the query as typed.
ChangesSincePrevious CompareWithPrevious(HistoryStore& store, const SearchRecord& search,
                                         std::optional<qint64> recordedId);

} // namespace vesk
