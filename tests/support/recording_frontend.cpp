#include "support/recording_frontend.h"

namespace vesk::test {

void RecordingFrontend::AppendLine(const QString& line)
{
    m_lines.append(line);
}

void RecordingFrontend::ClearLines()
{
    m_lines.clear();
    ++m_clears;
}

void RecordingFrontend::ShowStatus(const QString& text)
{
    // Kept as 8-bit text, the form the engine's status texts and the tests' expectations are written in.
    m_statuses.append(text.toLocal8Bit());
}

void RecordingFrontend::ProcessPendingEvents()
{
    ++m_eventCalls;
    if (m_hook)
        m_hook(m_eventCalls);
}

void RecordingFrontend::SetQueryText(const QByteArray& text)
{
    m_query = text;
    m_queryHistory.append(text);
}

} // namespace vesk::test
