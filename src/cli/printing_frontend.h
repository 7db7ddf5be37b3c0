#pragma once

#include "lookup/frontend.h"

#include <QIODevice>

namespace vesk {

/// The command line's window: worksheet lines go to `out` as UTF-8, one per output line, as they are written;
/// status changes go to `err` when echoing is on. Clearing cannot take back printed lines and does nothing.
class PrintingFrontend : public Frontend
{
public:
    PrintingFrontend(QIODevice& out, QIODevice& err, bool echoStatus);

    void AppendLine(const QString& line) override;
    void ClearLines() override { }
    /// Echoes non-empty texts; the blanking between steps would only add empty lines.
    void ShowStatus(const QByteArray& text) override;
    /// Runs the application's pending events once (the Ctrl-C notifier among them).
    void ProcessPendingEvents() override;
    QByteArray QueryText() const override { return m_query; }
    void SetQueryText(const QByteArray& text) override { m_query = text; }
    void SetBusy(bool) override { }

private:
    QIODevice& m_out;
    QIODevice& m_err;
    bool m_echoStatus;
    QByteArray m_query;
};

} // namespace vesk
