#include "batch/report_lines.h"

#include <QAnyStringView>

namespace vesk {

namespace {

// The bytes that QString::toUtf8 gives for `text` (an unpaired surrogate becomes one '?'), as append writes them.
qsizetype Utf8Size(QStringView text)
{
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80)
            bytes += 1;
        else if (u < 0x800)
            bytes += 2;
        else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else if (QChar::isSurrogate(u))
            bytes += 1;
        else
            bytes += 3;
    }
    return bytes;
}

} // namespace

ReportLines::ReportLines(std::initializer_list<QString> lines)
{
    for (const QString& line : lines)
        append(line);
}

ReportLines::ReportLines(const QStringList& lines)
{
    for (const QString& line : lines)
        append(line);
}

void ReportLines::append(QStringView lines)
{
    // Encoded straight into the kept text: a large reply is never held as a UTF-8 copy besides it.
    const qsizetype from = m_text.size();
    m_text.resize(from + Utf8Size(lines) + 1);
    auto* out = reinterpret_cast<unsigned char*>(m_text.data() + from);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        char32_t u = lines[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < lines.size() && lines[i + 1].isLowSurrogate())
            u = QChar::surrogateToUcs4(static_cast<char16_t>(u), lines[++i].unicode());
        else if (QChar::isSurrogate(u))
            u = '?';
        if (u < 0x80) {
            *out++ = static_cast<unsigned char>(u);
        } else if (u < 0x800) {
            *out++ = static_cast<unsigned char>(0xC0 | (u >> 6));
            *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            *out++ = static_cast<unsigned char>(0xE0 | (u >> 12));
            *out++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        } else {
            *out++ = static_cast<unsigned char>(0xF0 | (u >> 18));
            *out++ = static_cast<unsigned char>(0x80 | ((u >> 12) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (u & 0x3F));
        }
    }
    *out = '\n';
    m_count += lines.count(u'\n') + 1;
}

QString ReportLines::operator[](qsizetype i) const
{
    QString found;
    qsizetype at = 0;
    ForEachLine([&](QByteArrayView line) {
        if (at++ == i)
            found = QString::fromUtf8(line);
    });
    return found;
}

QStringList ReportLines::ToList() const
{
    QStringList lines;
    lines.reserve(m_count);
    ForEachLine([&lines](QByteArrayView line) { lines.append(QString::fromUtf8(line)); });
    return lines;
}

QString ReportLines::join(QChar separator) const
{
    if (m_text.isEmpty())
        return QString();
    QString joined = QString::fromUtf8(QByteArrayView(m_text).chopped(1));
    if (separator != u'\n')
        joined.replace(u'\n', separator);
    return joined;
}

qsizetype ReportLines::FindAtEnd(QStringView text) const
{
    const qsizetype size = Utf8Size(text);
    const qsizetype start = m_text.size() - 1 - size;
    if (start < 0 || (start > 0 && m_text[start - 1] != '\n'))
        return -1;
    const QUtf8StringView tail(m_text.constData() + start, size);
    return QAnyStringView::equal(tail, text) ? start : -1;
}

} // namespace vesk
