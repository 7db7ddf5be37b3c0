/// The batch input: the lines of a --batch file read as a stream, each one a query or a reason it is not one.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <deque>
#include <optional>

class QIODevice;

namespace vesk {

/// One line of a batch's input that is to be searched, or reported as unsearchable.
struct BatchLine
{
    qint64 Number = 0; ///< counted from 1; every line end (LF, CR LF or a lone CR) ends one line
    QByteArray Query; ///< the line trimmed; only its first bytes when it is too long to keep
    QString Problem; ///< why the line cannot be searched; empty: search it
    bool Ignored = false; ///< the line is only named as an error (it holds a NUL byte), never reported as a query
};

/// Splits bytes fed in pieces into batch lines. Blank lines and lines starting with '#' give nothing. A line longer
/// than `maxLineBytes` is kept only in part and reported as too long, so a file without line ends costs no more
/// memory than that.
class BatchLineSplitter
{
public:
    static constexpr qsizetype kDefaultMaxLineBytes = qsizetype { 64 } * 1024;

    explicit BatchLineSplitter(qsizetype maxLineBytes = kDefaultMaxLineBytes);

    /// Takes the next bytes of the input.
    void Feed(QByteArrayView bytes);
    /// The input has ended: a last line without a line end counts.
    void Finish();
    /// The next complete line, in input order.
    std::optional<BatchLine> Take();

private:
    void EndLine();

    qsizetype m_maxLineBytes;
    QByteArray m_line;
    qint64 m_lineBytes = 0;
    qint64 m_number = 0;
    bool m_afterCr = false;
    bool m_hasNul = false;
    std::deque<BatchLine> m_ready;
};

/// Every line of `text` as the splitter gives it (tests and fuzzing).
QList<BatchLine> SplitBatchLines(QByteArrayView text, qsizetype maxLineBytes = BatchLineSplitter::kDefaultMaxLineBytes);

/// Reads batch lines from a device piece by piece, never the whole input at once.
class BatchInput
{
public:
    /// `device` is borrowed and open for reading.
    explicit BatchInput(QIODevice& device, qsizetype maxLineBytes = BatchLineSplitter::kDefaultMaxLineBytes);

    /// The next line; nothing at the end of the input or after a read error (see ReadError).
    std::optional<BatchLine> Next();
    /// The device's error when reading failed; empty otherwise.
    QString ReadError() const { return m_error; }
    /// True when the input is a file of known end, whose rest can be read quickly (a pipe or terminal may never end).
    bool Bounded() const;

private:
    QIODevice& m_device;
    BatchLineSplitter m_splitter;
    QByteArray m_piece;
    bool m_ended = false;
    QString m_error;
};

} // namespace vesk
