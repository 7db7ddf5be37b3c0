/// The JSON report of vesk-query: one search as one JSON object (docs/vesk-query-report.schema.json).
#pragma once

#include "batch/search_outcome.h"

#include <QByteArray>

namespace vesk {

/// `outcome` as one line of compact JSON (no line end). `batchRule`: the exit status and outcome are judged as
/// a batch judges them (a rate-limit notice is no answer).
QByteArray JsonReport(const SearchOutcome& outcome, bool batchRule);

} // namespace vesk
