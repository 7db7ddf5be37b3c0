#include "cli/printing_frontend.h"

#include <QCoreApplication>

namespace vesk {

PrintingFrontend::PrintingFrontend(QIODevice& out, QIODevice& err, bool echoStatus)
    : m_out(out)
    , m_err(err)
    , m_echoStatus(echoStatus)
{ }

void PrintingFrontend::AppendLine(const QString& line)
{
    m_out.write(line.toUtf8() + '\n');
}

void PrintingFrontend::ShowStatus(const QByteArray& text)
{
    if (m_echoStatus && !text.isEmpty())
        m_err.write(QString::fromLocal8Bit(text).toUtf8() + '\n');
}

void PrintingFrontend::ProcessPendingEvents()
{
    if (QCoreApplication::instance() != nullptr)
        QCoreApplication::processEvents();
}

} // namespace vesk
