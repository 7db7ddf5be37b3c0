#include "batch/report_lines.h"

namespace vesk {

namespace {

// Calls `put` with each byte of `text` as UTF-8, an unpaired surrogate as the three bytes of its code (the one thing
// UTF-8 proper cannot carry, kept so that nothing written is lost).
template <typename Put> void EncodeUtf8(QStringView text, Put&& put)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t u = text[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            u = QChar::surrogateToUcs4(static_cast<char16_t>(u), text[++i].unicode());
        if (u < 0x80) {
            put(u);
        } else if (u < 0x800) {
            put(0xC0 | (u >> 6));
            put(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            put(0xE0 | (u >> 12));
            put(0x80 | ((u >> 6) & 0x3F));
            put(0x80 | (u & 0x3F));
        } else {
            put(0xF0 | (u >> 18));
            put(0x80 | ((u >> 12) & 0x3F));
            put(0x80 | ((u >> 6) & 0x3F));
            put(0x80 | (u & 0x3F));
        }
    }
}

// The three bytes of an unpaired surrogate.
bool SurrogateAt(QByteArrayView bytes, qsizetype i)
{
    return static_cast<unsigned char>(bytes[i]) == 0xED && i + 2 < bytes.size()
        && static_cast<unsigned char>(bytes[i + 1]) >= 0xA0;
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

QByteArray ReportLines::Encode(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    EncodeUtf8(text, [&bytes](char32_t byte) { bytes.append(static_cast<char>(byte)); });
    return bytes;
}

QString ReportLines::Decode(QByteArrayView bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        const qsizetype length = lead < 0x80 ? 1
            : lead >= 0xC0 && lead < 0xE0    ? 2
            : lead >= 0xE0 && lead < 0xF0    ? 3
            : lead >= 0xF0 && lead < 0xF8    ? 4
                                             : 0;
        bool whole = length > 0 && i + length <= bytes.size();
        char32_t code = length > 1 ? lead & (0x7F >> length) : lead;
        for (qsizetype k = 1; whole && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            whole = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        // Bytes that no encoding here wrote: read the whole text as UTF-8 proper reads it.
        const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : length == 4 ? 0x10000 : 0;
        if (!whole || code < least || code > 0x10FFFF)
            return QString::fromUtf8(bytes);
        if (code >= 0x10000) {
            text.append(QChar::highSurrogate(code));
            text.append(QChar::lowSurrogate(code));
        } else {
            text.append(QChar(static_cast<char16_t>(code)));
        }
        i += length;
    }
    return text;
}

void ReportLines::append(QStringView lines)
{
    // Encoded straight into the kept text: a large reply is never held as a UTF-8 copy besides it.
    qsizetype size = 0;
    EncodeUtf8(lines, [&size](char32_t) { ++size; });
    const qsizetype from = m_text.size();
    m_text.resize(from + size + 1);
    char* out = m_text.data() + from;
    EncodeUtf8(lines, [&out](char32_t byte) { *out++ = static_cast<char>(byte); });
    *out = '\n';
    m_count += lines.count(u'\n') + 1;
}

QString ReportLines::operator[](qsizetype i) const
{
    QString found;
    qsizetype at = 0;
    ForEachLine([&](QByteArrayView line) {
        if (at++ == i)
            found = Decode(line);
    });
    return found;
}

QStringList ReportLines::ToList() const
{
    QStringList lines;
    lines.reserve(m_count);
    ForEachLine([&lines](QByteArrayView line) { lines.append(Decode(line)); });
    return lines;
}

QString ReportLines::join(QChar separator) const
{
    if (m_text.isEmpty())
        return QString();
    QString joined = Decode(QByteArrayView(m_text).chopped(1));
    if (separator != u'\n')
        joined.replace(u'\n', separator);
    return joined;
}

QByteArray ReportLines::Printed(const QByteArray& bytes)
{
    QByteArray printed;
    qsizetype copied = 0;
    for (qsizetype i = bytes.indexOf('\xED'); i >= 0; i = bytes.indexOf('\xED', i + 1)) {
        if (!SurrogateAt(bytes, i))
            continue;
        printed.append(QByteArrayView(bytes).sliced(copied, i - copied));
        printed.append('?');
        copied = i + 3;
        i += 2;
    }
    if (copied == 0)
        return bytes;
    printed.append(QByteArrayView(bytes).sliced(copied));
    return printed;
}

qsizetype ReportLines::FindAtEnd(QStringView text) const
{
    qsizetype size = 0;
    EncodeUtf8(text, [&size](char32_t) { ++size; });
    const qsizetype start = m_text.size() - 1 - size;
    if (start < 0 || (start > 0 && m_text[start - 1] != '\n'))
        return -1;
    const char* at = m_text.constData() + start;
    bool same = true;
    EncodeUtf8(text, [&at, &same](char32_t byte) { same = same && *at++ == static_cast<char>(byte); });
    return same ? start : -1;
}

} // namespace vesk
