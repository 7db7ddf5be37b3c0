/// The worksheet of a finished search as it is kept: one UTF-8 text, each line followed by LF.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <initializer_list>

namespace vesk {

/// A report's worksheet lines kept once and compactly: UTF-8, each line followed by LF, instead of a UTF-16 string
/// per line. Read as a list of lines where a caller needs strings; the printers and the JSON writer read the bytes.
/// An unpaired surrogate (which a reply can decode to) is kept as the three bytes of its code, so that nothing
/// written is lost; Printed gives the text as the text output prints it.
class ReportLines
{
public:
    ReportLines() = default;
    ReportLines(std::initializer_list<QString> lines);
    ReportLines(const QStringList& lines); // NOLINT(google-explicit-constructor): a list of lines is one

    /// Appends the lines of `lines`, separated by LF (the empty text is one empty line).
    void append(QStringView lines);

    qsizetype size() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    /// Line `i` (counted from 0); empty when there is no such line.
    QString operator[](qsizetype i) const;
    QString first() const { return (*this)[0]; }
    QStringList ToList() const;
    operator QStringList() const { return ToList(); } // NOLINT(google-explicit-constructor)
    /// The lines joined by `separator`.
    QString join(QChar separator) const;

    /// Every line, each followed by LF, as UTF-8 (an unpaired surrogate as its three bytes).
    const QByteArray& Utf8() const { return m_text; }

    /// `text` as the kept text holds it: UTF-8, an unpaired surrogate as the three bytes of its code.
    static QByteArray Encode(QStringView text);
    /// The text that Encode wrote (plain UTF-8 too); bytes that neither is are read as QString::fromUtf8 reads them.
    static QString Decode(QByteArrayView bytes);
    /// `bytes` (as Encode writes) as the text output prints them: an unpaired surrogate as '?', as
    /// QString::toUtf8 gives it.
    static QByteArray Printed(const QByteArray& bytes);
    /// Where `text` (lines separated by LF) stands as the last lines written so far: its first byte in Utf8(), or
    /// -1 when the last lines differ. The text ends before the last LF.
    qsizetype FindAtEnd(QStringView text) const;

    /// Calls `f` with every line (as Utf8 holds it, without its LF), in order.
    template <typename F> void ForEachLine(F&& f) const
    {
        qsizetype from = 0;
        for (qsizetype i = 0; i < m_count; ++i) {
            const qsizetype end = m_text.indexOf('\n', from);
            f(QByteArrayView(m_text.constData() + from, end - from));
            from = end + 1;
        }
    }

private:
    QByteArray m_text;
    qsizetype m_count = 0;
};

} // namespace vesk
