/// The JSON report of vesk-query: one search as one JSON object (docs/vesk-query-report.schema.json).
#pragma once

#include "batch/search_outcome.h"
#include "history/history_store.h"
#include "history/report_changes.h"

#include <QByteArray>
#include <QIODevice>

namespace vesk {

/// What changed since the previous report of a query, for the JSON report.
struct ReportChanges
{
    QDateTime Since; ///< when the previous report was written; invalid when there is none
    QList<FieldChange> Changes;
    bool Attention = false; ///< a watch found it changed or expiring soon: its exit status is 3
};

/// Writes `outcome` to `out` as one line of compact JSON (no line end), with no control character unescaped, piece
/// by piece as it goes (a large report is never built whole). Keys come in the order and values in the form that
/// QJsonDocument writes. `batchRule`: the exit status and outcome are judged as a batch judges them (a rate-limit
/// notice is no answer). `changes`: adds "changes_since" and "changes" (null: neither). False when `out` refused a
/// write; nothing more is written then.
bool WriteJsonReport(QIODevice& out, const SearchOutcome& outcome, bool batchRule,
                     const ReportChanges* changes = nullptr);

/// The JSON that WriteJsonReport writes, as bytes.
QByteArray JsonReport(const SearchOutcome& outcome, bool batchRule, const ReportChanges* changes = nullptr);

/// `json` (UTF-8 as QJsonDocument writes it) with DEL, the C1 controls and the bidirectional controls (U+061C,
/// U+200E/F, U+202A-202E, U+2066-2069) written as \uXXXX escapes: the same JSON value, and nothing in it that a
/// terminal acts on or that reorders the text around it.
QByteArray EscapeInvisibleControls(const QByteArray& json);

} // namespace vesk
