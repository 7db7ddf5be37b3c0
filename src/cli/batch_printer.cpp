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

void BatchPrinter::Report(const SearchOutcome& outcome, const BatchProgress& progress)
{
    if (m_json) {
        m_out.write(JsonReport(outcome, true) + '\n');
    } else if (outcome.NotRun) {
        Complain(QStringLiteral("not run: %1").arg(TerminalSafeText(QString::fromLocal8Bit(outcome.Typed))));
    } else {
        QByteArray text;
        if (m_printed > 0)
            text += "\f\n";
        for (const QString& line : outcome.Lines)
            text += (m_outIsTerminal ? TerminalSafeText(line) : line).toUtf8() + '\n';
        m_out.write(text);
        const QString complaint = ClosingMessage(outcome, true);
        if (!complaint.isEmpty())
            Complain(QStringLiteral("%1: %2").arg(TerminalSafeText(QString::fromLocal8Bit(outcome.Typed)), complaint));
    }
    ++m_printed;
    ShowProgress(progress);
}

void BatchPrinter::Finished(const BatchProgress&)
{
    ClearProgress();
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
    const qint64 now = progress.ElapsedMs;
    if (m_lastProgressMs >= 0 && now - m_lastProgressMs < 100 && progress.Done < progress.Total)
        return;
    m_lastProgressMs = now;
    const double minutes = static_cast<double>(std::max<qint64>(1, now)) / 60000.0;
    const double perMinute = static_cast<double>(progress.Done) / minutes;
    QString eta = QStringLiteral("--:--");
    if (perMinute > 0) {
        const qint64 seconds = std::llround(static_cast<double>(progress.Total - progress.Done) / perMinute * 60.0);
        eta = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    m_err.write(QStringLiteral("\r\x1b[K%1/%2 done, %3 answered, %4 failed, %5/min, %6 left")
                    .arg(progress.Done)
                    .arg(progress.Total)
                    .arg(progress.Answered)
                    .arg(progress.Failed)
                    .arg(static_cast<qint64>(std::llround(perMinute)))
                    .arg(eta)
                    .toUtf8());
}

} // namespace vesk
