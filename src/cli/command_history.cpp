#include "cli/command_history.h"

#include "cli/json_report.h"
#include "codecs/utf8_decoder.h"
#include "settings/settings_store.h"

#include <QTimeZone>

namespace vesk {

HistoryChoice HistoryChoice::FromSettings(const TReg& settings, const QString& path)
{
    HistoryChoice choice;
    choice.Path = path;
    choice.Record = settings.KeepHistory;
    choice.Limits.ReportsPerKey = settings.HistoryReportsPerQuery;
    choice.Limits.TotalBytes = qint64(settings.HistorySizeMiB) * 1024 * 1024;
    return choice;
}

bool IsRecordable(const SearchOutcome& outcome)
{
    return !outcome.NotRun && !outcome.Refused && !outcome.Ignored;
}

SearchRecord RecordOf(const SearchOutcome& outcome, bool readFields)
{
    SearchRecord record;
    record.Typed = Utf8ToWideText(outcome.Typed);
    record.Sent = Utf8ToWideText(outcome.Sent.isEmpty() ? outcome.Typed : outcome.Sent);
    record.Kind = QueryKindName(outcome.Kind);
    record.Started = outcome.Started;
    record.Ended = outcome.Ended;
    // A stop wins over an answer: the report is incomplete and must never serve as the previous one.
    if (outcome.Stopped)
        record.Outcome = RecordedOutcome::Stopped;
    else if (!outcome.Error.isEmpty() || !outcome.EngineAnswered)
        record.Outcome = RecordedOutcome::Failed;
    for (const ExchangeEntry& entry : outcome.Exchanges)
        record.Exchanges.append(ExchangeSummary::From(entry));
    // The kept lines are UTF-8: read them once for both.
    const QStringList lines = outcome.Lines;
    record.Report = lines.join(u'\n');
    if (readFields)
        record.Fields = ExtractReportFields(lines);
    return record;
}

std::unique_ptr<HistoryStore> OpenHistory(const HistoryChoice& choice, QString& problem)
{
    if (choice.Path.isEmpty())
        return nullptr;
    auto store = std::make_unique<HistoryStore>(choice.Path, choice.Limits);
    problem = OpenProblem(store->Available(), store->Error(), store->SetAsidePath());
    return store;
}

std::unique_ptr<HistoryRecorder> StartRecorder(const HistoryChoice& choice)
{
    if (choice.Path.isEmpty())
        return nullptr;
    return std::make_unique<HistoryRecorder>(choice.Path, choice.Limits, choice.Record);
}

QString OpenProblem(bool available, const QString& error, const QString& setAside)
{
    if (!available)
        return QStringLiteral("history is unavailable: %1").arg(error);
    if (!setAside.isEmpty())
        return QStringLiteral("warning: the damaged history store was set aside as %1; a new one was started.")
            .arg(setAside);
    return QString();
}

WatchSummary::WatchSummary(int expiringDays, const QDateTime& now)
    : m_days(expiringDays)
    , m_limit(now.toUTC().addDays(expiringDays))
{ }

bool WatchSummary::Note(const SearchOutcome& outcome, const ChangesSincePrevious* changes)
{
    const QString query = Utf8ToWideText(outcome.Typed);
    if (outcome.Ignored || outcome.Refused || outcome.NotRun || !outcome.GotAnswer()) {
        m_failed.append(outcome.Refused || outcome.Ignored ? QStringLiteral("line %1").arg(outcome.Line) : query);
        return false;
    }
    bool attention = false;
    if (changes != nullptr && changes->Previous && !changes->Changes.isEmpty()) {
        m_changed.append(Changed { query, changes->Previous->Started, changes->Changes });
        attention = true;
    }
    if (outcome.Kind != LookupEngine::QueryKind::Domain)
        return attention;
    // An expiry already past counts too: it needs attention all the more.
    const QString expiry = ExpiryOf(ExtractReportFields(outcome.Lines));
    const std::optional<QDateTime> when = ParseFieldDate(expiry);
    if (when && *when <= m_limit) {
        m_expiring.append(Expiring { query, expiry });
        attention = true;
    }
    return attention;
}

QStringList WatchSummary::Lines() const
{
    QStringList lines;
    lines << QStringLiteral("WATCH SUMMARY") << QString();
    if (m_changed.isEmpty()) {
        lines << QStringLiteral("Changed: none");
    } else {
        lines << QStringLiteral("Changed since the previous report:");
        for (const Changed& changed : m_changed) {
            lines << QStringLiteral("  %1 (since %2)")
                         .arg(changed.Query, changed.Since.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
            for (const FieldChange& change : changed.Changes)
                lines << QStringLiteral("    ") + ChangeLine(change);
        }
    }
    if (m_expiring.isEmpty()) {
        lines << QStringLiteral("Expiring within %1 days: none").arg(m_days);
    } else {
        lines << QStringLiteral("Expiring within %1 days:").arg(m_days);
        for (const Expiring& expiring : m_expiring)
            lines << QStringLiteral("  %1: %2").arg(expiring.Query, expiring.Expiry);
    }
    if (m_failed.isEmpty()) {
        lines << QStringLiteral("Failed: none");
    } else {
        lines << QStringLiteral("Failed:");
        for (const QString& failed : m_failed)
            lines << QStringLiteral("  ") + failed;
    }
    lines << QString();
    return lines;
}

int WatchSummary::ExitStatus() const
{
    if (!m_failed.isEmpty())
        return 1;
    return m_changed.isEmpty() && m_expiring.isEmpty() ? 0 : 3;
}

} // namespace vesk
