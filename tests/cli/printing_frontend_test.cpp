#include "cli/printing_frontend.h"

#include <QBuffer>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

constexpr char16_t kMask = u'\uFFFD';

TEST(TerminalSafeText, MasksControlCharactersOnly)
{
    struct Row
    {
        const char* name;
        QString text;
        QString shown;
    };
    const QString m(kMask);
    const Row rows[] = {
        { "plain text and tab", QStringLiteral("Name:\tJ\u00F6rg \u2502 \u00A0x"),
          QStringLiteral("Name:\tJ\u00F6rg \u2502 \u00A0x") },
        { "escape sequence", QStringLiteral("\x1B[2Jclear"), m + QStringLiteral("[2Jclear") },
        { "title change", QStringLiteral("\x1B]0;owned\x07"), m + QStringLiteral("]0;owned") + m },
        { "NUL, CR, LF, unit separator", QString(QChar(0)) + QStringLiteral("\r\n\x1F"), m + m + m + m },
        { "DEL and the C1 range", QStringLiteral("\x7F\u0080\u009B6n\u009F\u00A0"),
          m + m + m + QStringLiteral("6n") + m + QStringLiteral("\u00A0") },
        { "bidirectional controls", QStringLiteral("moc.\u202Eelgoog \u061C\u200E\u200F\u202A\u2066\u2069\u2067"),
          QStringLiteral("moc.") + m + QStringLiteral("elgoog ") + m + m + m + m + m + m + m },
        { "letters and marks near them stay", QStringLiteral("\u0628\u200D\u2028\u2065\u206A"),
          QStringLiteral("\u0628\u200D\u2028\u2065\u206A") },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TerminalSafeText(row.text), row.shown);
    }
}

TEST(PrintingFrontend, PipesGetTheWorksheetExactlyAndTerminalsAMaskedCopy)
{
    const QString line = QStringLiteral("Registrant: \x1B]0;owned\x07 J\u00F6rg\u009B");
    const QByteArray status = "Connecting \x1B[31mred\x1B[0m";
    for (const bool terminal : { false, true }) {
        SCOPED_TRACE(terminal ? "terminal" : "pipe");
        QBuffer out;
        QBuffer err;
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
        PrintingFrontend window(out, err, true, terminal, terminal);
        window.AppendLine(line);
        window.ShowStatus(QString::fromLatin1(status));
        if (terminal) {
            EXPECT_EQ(QString::fromUtf8(out.data()), TerminalSafeText(line) + u'\n');
            EXPECT_EQ(QString::fromUtf8(err.data()), TerminalSafeText(QString::fromLatin1(status)) + u'\n');
            EXPECT_FALSE(out.data().contains('\x1B'));
            EXPECT_FALSE(err.data().contains('\x1B'));
        } else {
            EXPECT_EQ(out.data(), line.toUtf8() + '\n');
            EXPECT_EQ(err.data(), status + '\n');
        }
    }
}

} // namespace
} // namespace vesk::test
