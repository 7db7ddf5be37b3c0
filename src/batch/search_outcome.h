/// How one search ended, with everything it wrote: what the batch schedules and the command line prints.
#pragma once

#include "batch/report_lines.h"
#include "lookup/exchange_observer.h"
#include "lookup/lookup_engine.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

namespace vesk {

/// How one search ended, with everything it wrote.
struct SearchOutcome
{
    QByteArray Typed; ///< the query as given
    QByteArray Sent; ///< the query as the engine sent it
    LookupEngine::QueryKind Kind = LookupEngine::QueryKind::Plain;
    QDateTime Started;
    QDateTime Ended;
    ReportLines Lines; ///< the worksheet, as the text mode prints it
    QList<ExchangeEntry> Exchanges; ///< in report order; their texts may stand in Lines (ExchangeEntry::TextFrom)
    QString Error; ///< the error that ended the search (or kept a batch line from being searched), if one did
    bool Stopped = false;
    bool EngineAnswered = false; ///< a server sent something (the single run's rule)
    bool NotRun = false; ///< a batch ended before this query began
    bool Refused = false; ///< a batch line that cannot be searched (Error says why); nothing was asked
    bool Ignored = false; ///< a refused batch line that is only named as an error, never reported as a query
    qint64 Line = 0; ///< the line of the batch input the query came from; 0 outside a batch

    /// The exit status of a single run: 0 when a server answered, 1 when none did, on a stop or an error.
    int ExitStatus() const;
    /// The batch's judgement: a server answered, and not only with a rate-limit notice; no stop, no error.
    bool GotAnswer() const;
    /// Roughly the memory the outcome holds, for the batch's budget of finished reports.
    qint64 HeldBytes() const;

    /// The text that exchange `entry` (one of Exchanges) wrote, as UTF-8.
    QByteArrayView ExchangeTextUtf8(const ExchangeEntry& entry) const;
    /// The text that exchange number `i` wrote; empty when there is no such exchange.
    QString ExchangeText(qsizetype i) const;
    /// Records that exchange number `i` wrote `text` (lines separated by LF) just now: a range of Lines when the
    /// text is their last lines (or follows its earlier piece there), its own copy otherwise. A second piece
    /// follows the first on a line of its own.
    void AddExchangeText(qsizetype i, QStringView text);
};

} // namespace vesk
