// The JSON report keeps server text lossless yet holds no character that a terminal acts on or that reorders text.

#include "cli/json_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

TEST(JsonReport, ControlAndBidiCharactersAreEscapedAndReadBackUnchanged)
{
    struct Row
    {
        const char* name;
        QString text;
        const char* escape; ///< how the character must appear in the JSON
    };
    const Row rows[] = {
        { "escape", QStringLiteral("a\x1B[2Jb"), "\\u001b" },
        { "bell", QStringLiteral("a\x07"), "\\u0007" },
        { "delete", QStringLiteral("a\x7F"), "\\u007f" },
        { "C1 control sequence introducer", QStringLiteral("a\u009B6n"), "\\u009b" },
        { "C1 first and last", QStringLiteral("\u0080\u009F"), "\\u0080\\u009f" },
        { "right-to-left override", QStringLiteral("moc.\u202Eelgoog"), "\\u202e" },
        { "Arabic letter mark", QStringLiteral("x\u061Cy"), "\\u061c" },
        { "marks and isolates", QStringLiteral("\u200E\u200F\u2066\u2069"), "\\u200e\\u200f\\u2066\\u2069" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SearchOutcome outcome;
        outcome.Typed = row.text.toUtf8();
        outcome.Lines = { row.text };
        ExchangeEntry entry;
        entry.Text = row.text;
        entry.FailureText = row.text;
        outcome.Exchanges.append(entry);
        const QByteArray json = JsonReport(outcome, false);
        EXPECT_TRUE(json.contains(row.escape)) << json.constData();
        for (const QChar c : row.text) {
            if (c.unicode() >= 0x7F) {
                EXPECT_FALSE(json.contains(QString(c).toUtf8())) << static_cast<int>(c.unicode());
            }
        }
        for (const char c : json)
            EXPECT_GE(static_cast<unsigned char>(c), 0x20);
        QJsonParseError error;
        const QJsonObject read = QJsonDocument::fromJson(json, &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        EXPECT_EQ(read.value(QStringLiteral("query")).toString(), row.text);
        EXPECT_EQ(read.value(QStringLiteral("worksheet")).toArray().first().toString(), row.text);
        const QJsonObject exchange = read.value(QStringLiteral("exchanges")).toArray().first().toObject();
        EXPECT_EQ(exchange.value(QStringLiteral("text")).toString(), row.text);
        EXPECT_EQ(exchange.value(QStringLiteral("failure_text")).toString(), row.text);
    }
    // Text that needs no escape comes out exactly as Qt writes it.
    const QByteArray plain = "{\"a\":\"J\xC3\xB6rg \xE2\x94\x82 \xE2\x80\x8B\"}";
    EXPECT_EQ(EscapeInvisibleControls(plain), plain);
}

} // namespace
} // namespace vesk::test
