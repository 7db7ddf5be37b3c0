#include "cli/printing_frontend.h"

#include <QCoreApplication>

namespace vesk {

QString TerminalSafeText(QString text)
{
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        const bool control = (u < 0x20 && u != u'\t') || (u >= 0x7F && u <= 0x9F);
        // Bidirectional controls reorder what follows them on the line: a name could show as another.
        const bool bidi
            = u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (control || bidi)
            c = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

PrintingFrontend::PrintingFrontend(QIODevice& out, QIODevice& err, bool echoStatus, bool outIsTerminal,
                                   bool errIsTerminal)
    : m_out(out)
    , m_err(err)
    , m_echoStatus(echoStatus)
    , m_outIsTerminal(outIsTerminal)
    , m_errIsTerminal(errIsTerminal)
{ }

void PrintingFrontend::AppendLine(const QString& line)
{
    m_out.write((m_outIsTerminal ? TerminalSafeText(line) : line).toUtf8() + '\n');
}

void PrintingFrontend::ShowStatus(const QString& text)
{
    if (!m_echoStatus || text.isEmpty())
        return;
    m_err.write((m_errIsTerminal ? TerminalSafeText(text) : text).toUtf8() + '\n');
}

void PrintingFrontend::ProcessPendingEvents()
{
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents();
}

} // namespace vesk
