// The JSON report on server text of any bytes, decoded as the reports decode it: what is written parses back to
// the same strings, and holds no control character, DEL, C1 control or bidirectional control unescaped.

#include "cli/json_report.h"
#include "codecs/utf8_decoder.h"
#include "fuzz_check.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

using namespace vesk;

bool Forbidden(char32_t u)
{
    return u < 0x20 || u == 0x7F || (u >= 0x80 && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F
        || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input = fuzz::Bytes(data, size);
    // Up to four pieces, cut at 0xFF bytes: the query, a worksheet line, an exchange's text and its failure text.
    QList<QByteArray> pieces = input.toByteArray().split('\xff');
    while (pieces.size() < 4)
        pieces.append(QByteArray());

    SearchOutcome outcome;
    outcome.Typed = pieces[0];
    outcome.Sent = pieces[0];
    // A worksheet line holds no line break: the worksheet starts a new line at each.
    const QString line = Utf8ToWideText(pieces[1]).replace(u'\n', u' ');
    outcome.Lines = { line, QString::fromLatin1(pieces[1]).replace(u'\n', u' ') };
    ExchangeEntry entry;
    entry.Host = pieces[2];
    entry.Request = pieces[3];
    entry.FailureText = Utf8ToWideText(pieces[3]);
    outcome.Exchanges.append(entry);
    // Kept as the search keeps what an exchange wrote.
    const QString text = Utf8ToWideText(pieces[2]);
    outcome.AddExchangeText(0, text);
    outcome.Error = QString::fromLatin1(pieces[3]);

    const QByteArray json = JsonReport(outcome, true);
    const QString written = QString::fromUtf8(json);
    VESK_FUZZ_CHECK(written.toUtf8() == json, "the JSON is valid UTF-8");
    for (qsizetype i = 0; i < written.size(); ++i) {
        const QChar c = written[i];
        char32_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < written.size() && written[i + 1].isLowSurrogate())
            u = QChar::surrogateToUcs4(c, written[++i]);
        VESK_FUZZ_CHECK(!Forbidden(u), "no control character is written unescaped");
    }

    QJsonParseError error;
    const QJsonObject read = QJsonDocument::fromJson(json, &error).object();
    VESK_FUZZ_CHECK(error.error == QJsonParseError::NoError, "the JSON parses");
    VESK_FUZZ_CHECK(read.value(QStringLiteral("query")).toString() == Utf8ToWideText(outcome.Typed),
                    "the query reads back");
    const QJsonArray sheet = read.value(QStringLiteral("worksheet")).toArray();
    VESK_FUZZ_CHECK(sheet.size() == 2 && sheet[0].toString() == outcome.Lines[0]
                        && sheet[1].toString() == outcome.Lines[1],
                    "the worksheet reads back");
    const QJsonObject exchange = read.value(QStringLiteral("exchanges")).toArray().first().toObject();
    VESK_FUZZ_CHECK(exchange.value(QStringLiteral("text")).toString() == text, "the exchange text reads back");
    VESK_FUZZ_CHECK(exchange.value(QStringLiteral("host")).toString() == Utf8ToWideText(entry.Host),
                    "the host reads back");
    VESK_FUZZ_CHECK(exchange.value(QStringLiteral("request")).toString() == Utf8ToWideText(entry.Request),
                    "the request reads back");
    VESK_FUZZ_CHECK(!entry.FailureText.isEmpty()
                        ? exchange.value(QStringLiteral("failure_text")).toString() == entry.FailureText
                        : !exchange.contains(QStringLiteral("failure_text")),
                    "the failure text reads back");
    VESK_FUZZ_CHECK(!outcome.Error.isEmpty() ? read.value(QStringLiteral("error")).toString() == outcome.Error
                                             : !read.contains(QStringLiteral("error")),
                    "the error reads back");
    return 0;
}
