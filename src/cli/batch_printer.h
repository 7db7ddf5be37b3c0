/// The batch printer: vesk-query's output of a batch, its reports in input order and the progress line.
#pragma once

#include "batch/batch_scheduler.h"
#include "cli/json_report.h"

#include <QIODevice>

namespace vesk {

/// Prints a batch's outcomes: text reports separated by a form-feed line (a search that did not end well is named
/// on standard error), or JSON Lines. A progress line on standard error when it is a terminal, cleared before any
/// other message and at the end.
class BatchPrinter final : public BatchOutput
{
public:
    BatchPrinter(QIODevice& out, QIODevice& err, bool json, bool outIsTerminal, bool errIsTerminal);

    void Report(const SearchOutcome& outcome, const BatchProgress& progress) override
    {
        Report(outcome, progress, nullptr);
    }
    /// `changes`: what the JSON report says changed since the previous report (null: nothing about changes).
    void Report(const SearchOutcome& outcome, const BatchProgress& progress, const ReportChanges* changes);
    void Finished(const BatchProgress& progress) override;

private:
    void ShowProgress(const BatchProgress& progress);
    void ClearProgress();
    void Complain(const QString& message);

    QIODevice& m_out;
    QIODevice& m_err;
    bool m_json;
    bool m_outIsTerminal;
    bool m_errIsTerminal;
    qint64 m_printed = 0;
    qint64 m_lastProgressMs = -1;
};

} // namespace vesk
