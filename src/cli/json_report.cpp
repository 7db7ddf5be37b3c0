#include "cli/json_report.h"

#include "codecs/utf8_decoder.h"
#include "common/json_writer.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vesk {

namespace {

void Time(JsonWriter& json, const QDateTime& time)
{
    if (time.isValid())
        json.String(time.toString(Qt::ISODateWithMs));
    else
        json.Null();
}

// Small parts that Qt writes (a parsed RDAP answer, the changes) are written by it and escaped after.
void QtValue(JsonWriter& json, const QJsonDocument& document)
{
    json.Value(EscapeInvisibleControls(document.toJson(QJsonDocument::Compact)));
}

// Keys in the order QJsonObject keeps them: sorted.
void WriteExchange(JsonWriter& json, const SearchOutcome& outcome, const ExchangeEntry& entry)
{
    const bool rdap = entry.Protocol == "rdap";
    json.Open('{');
    if (rdap) {
        json.Key("answer");
        const QJsonDocument answer = QJsonDocument::fromJson(entry.Answer);
        if (answer.isObject() || answer.isArray())
            QtValue(json, answer);
        else
            json.Null();
    }
    json.Key("bytes_received");
    json.Number(entry.BytesReceived);
    json.Key("elapsed_ms");
    json.Number(entry.ElapsedMs);
    if (!entry.FailureText.isEmpty()) {
        json.Key("failure_text");
        json.String(entry.FailureText);
    }
    json.Key("host");
    json.String(Utf8ToWideText(entry.Host));
    json.Key("outcome");
    json.String(QString::fromLatin1(entry.Outcome));
    if (!rdap) {
        json.Key("port");
        json.Number(entry.Port);
    }
    json.Key("protocol");
    json.String(QString::fromLatin1(entry.Protocol));
    json.Key("request");
    json.String(Utf8ToWideText(entry.Request));
    json.Key("text");
    json.String(outcome.ExchangeTextUtf8(entry));
    if (rdap) {
        json.Key("url");
        json.String(Utf8ToWideText(entry.Url));
    }
    json.Close('}');
}

QString OutcomeName(const SearchOutcome& outcome, bool batchRule)
{
    if (outcome.NotRun)
        return QStringLiteral("not-run");
    if (!outcome.Error.isEmpty())
        return QStringLiteral("error");
    if (outcome.Stopped)
        return QStringLiteral("stopped");
    const bool answered = batchRule ? outcome.GotAnswer() : outcome.ExitStatus() == 0;
    return answered ? QStringLiteral("answered") : QStringLiteral("not-answered");
}

} // namespace

QByteArray EscapeInvisibleControls(const QByteArray& json)
{
    // Qt writes C0 controls escaped already; these are the other code points that a terminal acts on or that turn
    // text around. Outside strings JSON is ASCII, so every UTF-8 sequence met here lies inside a string.
    QByteArray escaped;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < json.size();) {
        const auto lead = static_cast<unsigned char>(json[i]);
        const qsizetype length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (i + length > json.size())
            break;
        char32_t code = lead;
        if (length > 1) {
            code = lead & (0x7F >> length);
            for (qsizetype k = 1; k < length; ++k)
                code = (code << 6) | (static_cast<unsigned char>(json[i + k]) & 0x3F);
        }
        if (IsInvisibleControl(code)) {
            escaped.append(json.constData() + copied, i - copied);
            escaped.append("\\u");
            escaped.append(QByteArray::number(static_cast<uint>(code), 16).rightJustified(4, '0'));
            copied = i + length;
        }
        i += length;
    }
    if (copied == 0)
        return json;
    escaped.append(json.constData() + copied, json.size() - copied);
    return escaped;
}

bool WriteJsonReport(QIODevice& out, const SearchOutcome& outcome, bool batchRule, const ReportChanges* changes)
{
    JsonWriter json(out);
    json.Open('{');
    if (changes != nullptr) {
        json.Key("changes");
        QtValue(json, QJsonDocument(ChangesToJson(changes->Changes)));
        json.Key("changes_since");
        Time(json, changes->Since);
    }
    json.Key("ended");
    Time(json, outcome.Ended);
    if (!outcome.Error.isEmpty()) {
        json.Key("error");
        json.String(outcome.Error);
    }
    json.Key("exchanges");
    json.Open('[');
    for (const ExchangeEntry& entry : outcome.Exchanges)
        WriteExchange(json, outcome, entry);
    json.Close(']');
    const bool good = batchRule ? outcome.GotAnswer() : outcome.ExitStatus() == 0;
    json.Key("exit_status");
    json.Number(!good ? 1 : changes != nullptr && changes->Attention ? 3 : 0);
    // A query never sent (not run, or a batch line that cannot be searched) has neither a sent form nor a kind.
    const bool sent = !outcome.NotRun && !outcome.Refused;
    json.Key("kind");
    if (sent)
        json.String(QueryKindName(outcome.Kind));
    else
        json.Null();
    if (outcome.Line > 0) {
        json.Key("line");
        json.Number(outcome.Line);
    }
    json.Key("outcome");
    json.String(OutcomeName(outcome, batchRule));
    json.Key("query");
    json.String(Utf8ToWideText(outcome.Typed));
    json.Key("query_sent");
    if (sent)
        json.String(Utf8ToWideText(outcome.Sent));
    else
        json.Null();
    json.Key("started");
    Time(json, outcome.Started);
    json.Key("worksheet");
    json.Open('[');
    outcome.Lines.ForEachLine([&json](QByteArrayView line) { json.String(line); });
    json.Close(']');
    json.Close('}');
    return json.Finish();
}

QByteArray JsonReport(const SearchOutcome& outcome, bool batchRule, const ReportChanges* changes)
{
    QByteArray json;
    QBuffer buffer(&json);
    buffer.open(QIODevice::WriteOnly);
    WriteJsonReport(buffer, outcome, batchRule, changes);
    return json;
}

} // namespace vesk
