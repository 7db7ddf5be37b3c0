#include "cli/batch_printer.h"

#include "cli/json_report.h"
#include "cli/printing_frontend.h"
#include "cli/search_job.h"

#include <cmath>

namespace vesk {

BatchPrinter::BatchPrinter(QIODevice& out, QIODevice& err, bool json, bool outIsTerminal, bool errIsTerminal)
    : m_out(out)
    , m_err(err)
    , m_json(json)
    , m_outIsTerminal(outIsTerminal)
    , m_errIsTerminal(errIsTerminal)
{ }

void BatchPrinter::Report(const SearchOutcome& outcome, const BatchProgress& progress, const ReportChanges* changes)
{
    if (outcome.Refused)
        Complain(QStringLiteral("line %1: %2").arg(outcome.Line).arg(TerminalSafeText(outcome.Error)));
    if (outcome.Ignored) {
        ShowProgress(progress);
        return;
    }
    if (m_json) {
        WriteJsonReport(m_out, outcome, true, changes);
        m_out.write("\n");
    } else if (outcome.NotRun) {
        Complain(QStringLiteral("not run: %1").arg(TerminalSafeText(QString::fromLocal8Bit(outcome.Typed))));
    } else {
        // A refused line keeps its place in the order, as an empty report.
        if (m_printed > 0)
            m_out.write("\f\n");
        // The kept text is what a pipe or file gets; a terminal gets it line by line, masked.
        if (m_outIsTerminal) {
            outcome.Lines.ForEachLine([this](QByteArrayView line) {
                m_out.write(TerminalSafeText(ReportLines::Decode(line)).toUtf8() + '\n');
            });
        } else {
            m_out.write(ReportLines::Printed(outcome.Lines.Utf8()));
        }
        const QString complaint = outcome.Refused ? QString() : ClosingMessage(outcome, true);
        if (!complaint.isEmpty())
            Complain(QStringLiteral("%1: %2").arg(TerminalSafeText(QString::fromLocal8Bit(outcome.Typed)), complaint));
    }
    ++m_printed;
    ShowProgress(progress);
}

void BatchPrinter::Finished(const BatchProgress& progress)
{
    ClearProgress();
    if (progress.UnreadAfterLine > 0)
        Complain(QStringLiteral("stopped: the input after line %1 was not read.").arg(progress.UnreadAfterLine));
    if (!progress.ReadError.isEmpty())
        Complain(QStringLiteral("the batch input could not be read to its end: %1").arg(progress.ReadError));
}

void BatchPrinter::Complain(const QString& message)
{
    ClearProgress();
    m_err.write(QStringLiteral("vesk-query: %1\n").arg(message).toUtf8());
}

void BatchPrinter::ClearProgress()
{
    // Clears the line so that a message or the shell prompt starts on an empty line.
    if (m_errIsTerminal && m_lastProgressMs >= 0)
        m_err.write("\r\x1b[K");
    m_lastProgressMs = -1;
}

void BatchPrinter::ShowProgress(const BatchProgress& progress)
{
    if (!m_errIsTerminal)
        return;
    // A streamed batch knows no total: counts and rate only.
    const qint64 now = progress.ElapsedMs;
    if (m_lastProgressMs >= 0 && now - m_lastProgressMs < 100)
        return;
    m_lastProgressMs = now;
    const double minutes = static_cast<double>(std::max<qint64>(1, now)) / 60000.0;
    const double perMinute = static_cast<double>(progress.Done) / minutes;
    m_err.write(QStringLiteral("\r\x1b[K%1 done, %2 answered, %3 failed, %4/min")
                    .arg(progress.Done)
                    .arg(progress.Answered)
                    .arg(progress.Failed)
                    .arg(static_cast<qint64>(std::llround(perMinute)))
                    .toUtf8());
}

} // namespace vesk
