#include "batch/batch_input.h"

#include "whois/host_text.h"

#include <QFileDevice>
#include <QIODevice>

namespace vesk {

namespace {

constexpr qint64 kReadPiece = qint64 { 64 } * 1024;

bool HoldsControlCharacter(QByteArrayView text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
            return true;
    }
    return false;
}

} // namespace

BatchLineSplitter::BatchLineSplitter(qsizetype maxLineBytes)
    : m_maxLineBytes(std::max<qsizetype>(1, maxLineBytes))
{ }

void BatchLineSplitter::Feed(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (m_afterCr) {
            m_afterCr = false;
            if (c == '\n')
                continue; // the LF of a CR LF
        }
        if (c == '\n' || c == '\r') {
            EndLine();
            m_afterCr = c == '\r';
            continue;
        }
        ++m_lineBytes;
        m_hasNul = m_hasNul || c == '\0';
        if (m_line.size() < m_maxLineBytes)
            m_line.append(c);
    }
}

void BatchLineSplitter::Finish()
{
    if (m_lineBytes > 0)
        EndLine();
    m_afterCr = false;
}

std::optional<BatchLine> BatchLineSplitter::Take()
{
    if (m_ready.empty())
        return std::nullopt;
    BatchLine line = std::move(m_ready.front());
    m_ready.pop_front();
    return line;
}

void BatchLineSplitter::EndLine()
{
    BatchLine line;
    line.Number = ++m_number;
    const bool tooLong = m_lineBytes > m_maxLineBytes;
    line.Query = TrimText(m_line);
    if (m_hasNul) {
        line.Ignored = true;
        line.Problem = QStringLiteral("the line holds a NUL byte; it is skipped");
    } else if (tooLong) {
        line.Problem = QStringLiteral("the line is longer than %1 bytes").arg(m_maxLineBytes);
    } else if (HoldsControlCharacter(line.Query)) {
        line.Problem = QStringLiteral("the line holds a control character");
    }
    m_line.clear();
    m_lineBytes = 0;
    m_hasNul = false;
    if (line.Problem.isEmpty() && (line.Query.isEmpty() || line.Query.startsWith('#')))
        return;
    m_ready.push_back(std::move(line));
}

QList<BatchLine> SplitBatchLines(QByteArrayView text, qsizetype maxLineBytes)
{
    BatchLineSplitter splitter(maxLineBytes);
    splitter.Feed(text);
    splitter.Finish();
    QList<BatchLine> lines;
    while (std::optional<BatchLine> line = splitter.Take())
        lines.append(std::move(*line));
    return lines;
}

BatchInput::BatchInput(QIODevice& device, qsizetype maxLineBytes)
    : m_device(device)
    , m_splitter(maxLineBytes)
{ }

std::optional<BatchLine> BatchInput::Next()
{
    for (;;) {
        if (std::optional<BatchLine> line = m_splitter.Take())
            return line;
        if (m_ended)
            return std::nullopt;
        // A line at a time: a pipe then hands over each query as soon as its line end arrives, not after a
        // whole piece (a line without LF still ends at the piece's size).
        if (m_piece.size() != kReadPiece + 1)
            m_piece = QByteArray(kReadPiece + 1, Qt::Uninitialized);
        const qint64 got = m_device.readLine(m_piece.data(), m_piece.size());
        if (got <= 0) {
            const auto* file = qobject_cast<const QFileDevice*>(&m_device);
            if (file != nullptr && file->error() != QFileDevice::NoError)
                m_error = file->errorString();
            m_ended = true;
            m_splitter.Finish();
            continue;
        }
        m_splitter.Feed(QByteArrayView(m_piece.constData(), got));
    }
}

bool BatchInput::Bounded() const
{
    return !m_device.isSequential();
}

} // namespace vesk
