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
    // Every line break becomes one LF, and the front end takes the whole text at once.
    try {
        m_frontend.AppendLines(WithLfBreaks(text));
    } catch (const std::exception&) {
        // A front end that cannot take more text loses it; the report goes on.
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

QString Worksheet::WithLfBreaks(QString text)
{
    if (text.contains(u'\r')) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(u'\r', u'\n');
    }
    return text;
}

QString Worksheet::CloseBoxLine(const QString& line)
{
    if (line.isEmpty() || line.size() > kOpenLineLimit)
        return line;
    return line.leftJustified(kPaddedWidth, u' ') + line.front();
}

} // namespace vesk
