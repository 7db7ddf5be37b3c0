/// vesk-query's history: where the store lives, what a search leaves in it, and the watch list's summary.
#pragma once

#include "batch/search_outcome.h"
#include "history/history_recorder.h"
#include "history/history_store.h"
#include "history/pending_reports.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>

namespace vesk {

class TReg;

/// Which store a run uses and whether it records.
struct HistoryChoice
{
    QString Path = QString(); ///< empty: the run has no history
    bool Record = true; ///< record every completed search (else the store is only read)
    RetentionLimits Limits;

    /// From the settings ("Keep History" and the retention limits) and the store at `path`.
    static HistoryChoice FromSettings(const TReg& settings, const QString& path);
};

/// True for an outcome that is a search (not a batch line refused or left unrun).
bool IsRecordable(const SearchOutcome& outcome);

/// The history's record of a finished search; `readFields` false leaves its fields to be read when it is stored.
SearchRecord RecordOf(const SearchOutcome& outcome, bool readFields = true);

/// Opens the store of `choice` for this thread; null when the run has none. A store that cannot be opened is still
/// returned (its calls then fail) and `problem` says why history is unavailable.
std::unique_ptr<HistoryStore> OpenHistory(const HistoryChoice& choice, QString& problem);
/// Starts opening the store of `choice` on its own thread; none when the run has no store.
std::unique_ptr<HistoryRecorder> StartRecorder(const HistoryChoice& choice);
/// What to tell the user about an opened store: why it is unavailable, or where a broken file was set aside;
/// empty when all is well.
QString OpenProblem(bool available, const QString& error, const QString& setAside);

/// The watch list's account of one batch: what changed, what expires soon, what failed.
class WatchSummary
{
public:
    /// `expiringDays`: a domain whose expiry date is before `now` plus that many days expires soon.
    WatchSummary(int expiringDays, const QDateTime& now);

    /// Notes one outcome in input order; `changes` compares it with its previous report (none: no earlier one).
    /// True when it answered and changed or expires soon.
    bool Note(const SearchOutcome& outcome, const ChangesSincePrevious* changes);
    /// The summary's lines, ending with an empty line.
    QStringList Lines() const;
    /// 1 when a query failed, else 3 when something changed or expires soon, else 0.
    int ExitStatus() const;

private:
    struct Changed
    {
        QString Query;
        QDateTime Since;
        QList<FieldChange> Changes;
    };
    struct Expiring
    {
        QString Query;
        QString Expiry;
    };
    int m_days;
    QDateTime m_limit;
    QList<Changed> m_changed;
    QList<Expiring> m_expiring;
    QStringList m_failed;
};

} // namespace vesk
