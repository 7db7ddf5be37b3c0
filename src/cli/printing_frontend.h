/// vesk-query's printing front end: the worksheet on standard output, the status on standard error.
#pragma once

#include "lookup/frontend.h"

#include <QIODevice>

namespace vesk {

/// `text` safe to show on a terminal: every control character (U+0000-U+001F except TAB, U+007F, U+0080-U+009F)
/// and every bidirectional control (U+061C, U+200E/F, U+202A-202E, U+2066-2069) becomes U+FFFD, so bytes from a
/// server cannot move the cursor, retitle the window, rewrite the screen or reorder what is shown.
QString TerminalSafeText(QString text);

/// The command line's window: worksheet lines go to `out` as UTF-8, one per output line, as they are written;
/// status changes go to `err` when echoing is on. Clearing cannot take back printed lines and does nothing.
/// Output to a pipe or file is the worksheet exactly; output to a terminal goes through TerminalSafeText.
class PrintingFrontend : public Frontend
{
public:
    /// `outIsTerminal` / `errIsTerminal`: whether `out` / `err` show on a terminal.
    PrintingFrontend(QIODevice& out, QIODevice& err, bool echoStatus, bool outIsTerminal = false,
                     bool errIsTerminal = false);

    void AppendLine(const QString& line) override;
    void ClearLines() override { }
    /// Echoes non-empty texts; the blanking between steps would only add empty lines.
    void ShowStatus(const QString& text) override;
    /// Runs the application's pending events once (the Ctrl-C notifier among them).
    void ProcessPendingEvents() override;
    QByteArray QueryText() const override { return m_query; }
    void SetQueryText(const QByteArray& text) override { m_query = text; }
    void SetBusy(bool) override { }

private:
    QIODevice& m_out;
    QIODevice& m_err;
    bool m_echoStatus;
    bool m_outIsTerminal;
    bool m_errIsTerminal;
    QByteArray m_query;
};

} // namespace vesk
