/// The JSON report of vesk-query: one search as one JSON object (docs/vesk-query-report.schema.json).
#pragma once

#include "batch/search_outcome.h"

#include <QByteArray>

namespace vesk {

/// `outcome` as one line of compact JSON (no line end), with no control character unescaped. `batchRule`: the exit
/// status and outcome are judged as a batch judges them (a rate-limit notice is no answer).
QByteArray JsonReport(const SearchOutcome& outcome, bool batchRule);

/// `json` (UTF-8 as QJsonDocument writes it) with DEL, the C1 controls and the bidirectional controls (U+061C,
/// U+200E/F, U+202A-202E, U+2066-2069) written as \uXXXX escapes: the same JSON value, and nothing in it that a
/// terminal acts on or that reorders the text around it.
QByteArray EscapeInvisibleControls(const QByteArray& json);

} // namespace vesk
