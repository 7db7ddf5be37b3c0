#include "lookup/worksheet.h"

#include "codecs/utf8_decoder.h"
#include "lookup/report_texts.h"

#include <exception>

namespace vesk {

namespace {

constexpr qsizetype kOpenLineLimit = 64;
constexpr qsizetype kPaddedWidth = 65;

// The rule is the one glyph doubled six times: 64 characters between the corners.
QString Rule(QChar left, QChar glyph, QChar right)
{
    QString rule(glyph);
    for (int i = 0; i < 6; ++i)
        rule += rule;
    return left + rule + right;
}

QString BoxLine(QByteArrayView content)
{
    return Worksheet::CloseBoxLine(QString(QChar(texts::kBoxSide)) + QStringLiteral("  ") + Utf8ToWideText(content));
}

} // namespace

Worksheet::Worksheet(Frontend& frontend, Clock clock, const QLocale& locale)
    : m_frontend(frontend)
    , m_clock(std::move(clock))
    , m_locale(locale)
{ }

void Worksheet::WriteLine(const QString& text)
{
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i <= size; ++i) {
        if (i < size && text[i] != u'\r' && text[i] != u'\n')
            continue;
        try {
            m_frontend.AppendLine(text.mid(start, i - start));
        } catch (const std::exception&) {
            // A front end that cannot take more text loses the line; the report goes on.
        }
        if (i + 1 < size && text[i] == u'\r' && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
}

void Worksheet::WriteHeaderBox(QByteArrayView title)
{
    const QString date = m_locale.toString(m_clock().date(), QString::fromLatin1(texts::kSignatureDateFormat));
    WriteLine(Rule(QChar(texts::kHeaderTopLeft), QChar(texts::kHeaderRule), QChar(texts::kHeaderTopRight)));
    WriteLine(BoxLine(title));
    WriteLine(CloseBoxLine(QString(QChar(texts::kBoxSide)) + QString::fromLatin1(texts::kSignature) + date));
    WriteLine(BoxLine(texts::kProductAddress));
    WriteLine(Rule(QChar(texts::kHeaderBottomLeft), QChar(texts::kHeaderRule), QChar(texts::kHeaderBottomRight))
              + QStringLiteral("\r\n"));
}

void Worksheet::WriteSourceBox(QByteArrayView title, QByteArrayView source)
{
    WriteLine(QString());
    WriteLine(Rule(QChar(texts::kSourceTopLeft), QChar(texts::kSourceRule), QChar(texts::kSourceTopRight)));
    WriteLine(BoxLine(title));
    WriteLine(BoxLine(source));
    WriteLine(Rule(QChar(texts::kSourceBottomLeft), QChar(texts::kSourceRule), QChar(texts::kSourceBottomRight)));
}

void Worksheet::ClearWorksheet()
{
    m_frontend.ClearLines();
}

void Worksheet::SetStatus(const QByteArray& text)
{
    m_frontend.ShowStatus(QString::fromLocal8Bit(text));
}

QString Worksheet::CloseBoxLine(const QString& line)
{
    if (line.isEmpty() || line.size() > kOpenLineLimit)
        return line;
    return line.leftJustified(kPaddedWidth, u' ') + line.front();
}

} // namespace vesk
