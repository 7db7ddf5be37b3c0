/// Report changes: what differs between the fields of two reports of one query, and the worksheet text saying so.
#pragma once

#include "history/report_fields.h"

#include <QDateTime>
#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace vesk {

enum class ChangeOp : uint8_t { Changed, Added, Removed };

/// One difference: a value replaced (Old and New), added (New) or removed (Old).
struct FieldChange
{
    ChangeOp Op = ChangeOp::Changed;
    QString Label; ///< the display label ("Name Server", "NetName for 8.8.8.8")
    QString Old;
    QString New;
    friend bool operator==(const FieldChange&, const FieldChange&) = default;
};

/// The differences from `before` to `after`, by meaning (FieldKey): a field with one value replaced by one other is
/// "changed" unless it holds a set (IsSetField); any other difference is values removed, then values added.
/// Labels come in the order of `after`, then those only `before` has.
QList<FieldChange> CompareFields(const ReportFields& before, const ReportFields& after);

/// "changed", "added" or "removed".
QString ChangeOpName(ChangeOp op);

/// The line of one change: "changed  LABEL: OLD -> NEW", "added    LABEL: VALUE", "removed  LABEL: VALUE".
QString ChangeLine(const FieldChange& change);

/// The section that ends a report with an earlier report recorded at `previous` (any time spec; shown in local
/// time): a box titled "CHANGES SINCE YYYY-MM-DD HH:MM" and one line per change, or the one line "No changes since
/// YYYY-MM-DD HH:MM." when there are none; then an empty line. It follows the report's own closing empty line.
QStringList ChangesSection(const QList<FieldChange>& changes, const QDateTime& previous);

/// The section for a query with no earlier report: "No earlier report of QUERY." and an empty line.
QStringList NoEarlierReportSection(const QString& query);

/// The changes as JSON objects {op, label, old, new}; "old" or "new" is null where the change has none.
QJsonArray ChangesToJson(const QList<FieldChange>& changes);

} // namespace vesk
