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
        entry.Text = row.text.toUtf8();
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

// The report is written piece by piece from the kept text, yet must be what Qt's writer makes of the same document:
// keys in its order, its escapes and number forms, then the invisible controls escaped. Read back and written by Qt,
// it is unchanged; and what the search wrote reads back whole.
TEST(JsonReport, StreamedReportIsWhatQtWritesOfTheSameDocument)
{
    struct Row
    {
        const char* name;
        QString text;
    };
    const Row rows[] = {
        { "quote, backslash and slash", QStringLiteral("say \"hi\" \\ a/b") },
        { "short escapes", QStringLiteral("\b\f\n\r\t") },
        { "other C0 controls", QStringLiteral("\x01\x1B\x1F") },
        { "DEL, C1 and bidi controls", QStringLiteral("\x7F\u0085\u061C\u202A\u2069") },
        { "non-ASCII, in and beyond the BMP", QStringLiteral("J\u00F6rg \u2502 \U0001F600") },
        { "unpaired surrogates", QString(QChar(0xD800)) + u'x' + QChar(0xDC00) },
        { "empty", QString() },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SearchOutcome outcome;
        outcome.Typed = outcome.Sent = "q\x9B\xFF" + row.text.toUtf8();
        outcome.Line = 9007199254740993; // beyond a double's integers
        outcome.Started = QDateTime::fromMSecsSinceEpoch(1700000000123, Qt::UTC);
        outcome.Error = row.text;
        outcome.Lines = { row.text, QStringLiteral("line") };
        ExchangeEntry whois;
        whois.Host = row.text.toUtf8();
        whois.Port = 43;
        whois.FailureText = row.text;
        outcome.Exchanges.append(whois);
        whois.Text = row.text.toUtf8() + "\xC0\x80"; // not UTF-8 at its end
        outcome.Exchanges.append(whois);
        ExchangeEntry rdap;
        rdap.Protocol = "rdap";
        rdap.Url = "https://rdap.example/" + row.text.toUtf8();
        rdap.Answer = QJsonDocument(QJsonObject { { QStringLiteral("name"), row.text }, { QStringLiteral("n"), 2.5 } })
                          .toJson(QJsonDocument::Compact);
        outcome.Exchanges.append(rdap);
        outcome.AddExchangeText(0, row.text); // not the worksheet's last lines: a copy of its own
        outcome.AddExchangeText(2, QStringLiteral("line")); // a range of the worksheet
        const ReportChanges changes { QDateTime(), { FieldChange { ChangeOp::Added, row.text, {}, row.text } }, true };

        for (const ReportChanges* with : { static_cast<const ReportChanges*>(nullptr), &changes }) {
            const QByteArray json = JsonReport(outcome, true, with);
            const QJsonDocument read = QJsonDocument::fromJson(json);
            ASSERT_TRUE(read.isObject()) << json.constData();
            EXPECT_EQ(json, EscapeInvisibleControls(read.toJson(QJsonDocument::Compact)));
            // Nothing is lost, an unpaired surrogate included.
            const QJsonArray sheet = read[QStringLiteral("worksheet")].toArray();
            QStringList lines;
            for (qsizetype i = 0; i + 1 < sheet.size(); ++i)
                lines.append(sheet[i].toString());
            EXPECT_EQ(lines.join(u'\n'), row.text);
            EXPECT_EQ(read[QStringLiteral("exchanges")][0][QStringLiteral("text")].toString(), row.text);
            EXPECT_EQ(read[QStringLiteral("exchanges")][2][QStringLiteral("text")].toString(), QStringLiteral("line"));
        }
    }
}

} // namespace
} // namespace vesk::test
