#include "cli/json_report.h"

#include "codecs/utf8_decoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vesk {

namespace {

QJsonValue Time(const QDateTime& time)
{
    return time.isValid() ? QJsonValue(time.toString(Qt::ISODateWithMs)) : QJsonValue();
}

QString KindName(LookupEngine::QueryKind kind)
{
    switch (kind) {
    case LookupEngine::QueryKind::Domain:
        return QStringLiteral("domain");
    case LookupEngine::QueryKind::Address:
        return QStringLiteral("address");
    case LookupEngine::QueryKind::IPv6:
        return QStringLiteral("ipv6");
    case LookupEngine::QueryKind::Asn:
        return QStringLiteral("asn");
    case LookupEngine::QueryKind::Cidr:
        return QStringLiteral("cidr");
    case LookupEngine::QueryKind::Plain:
        break;
    }
    return QStringLiteral("plain");
}

QJsonObject ExchangeObject(const ExchangeEntry& entry)
{
    QJsonObject object;
    object.insert(QStringLiteral("protocol"), QString::fromLatin1(entry.Protocol));
    object.insert(QStringLiteral("host"), Utf8ToWideText(entry.Host));
    if (entry.Protocol == "rdap") {
        object.insert(QStringLiteral("url"), Utf8ToWideText(entry.Url));
        const QJsonDocument answer = QJsonDocument::fromJson(entry.Answer);
        object.insert(QStringLiteral("answer"),
                      answer.isObject()      ? QJsonValue(answer.object())
                          : answer.isArray() ? QJsonValue(answer.array())
                                             : QJsonValue());
    } else {
        object.insert(QStringLiteral("port"), entry.Port);
    }
    object.insert(QStringLiteral("request"), Utf8ToWideText(entry.Request));
    object.insert(QStringLiteral("outcome"), QString::fromLatin1(entry.Outcome));
    if (!entry.FailureText.isEmpty())
        object.insert(QStringLiteral("failure_text"), entry.FailureText);
    object.insert(QStringLiteral("elapsed_ms"), entry.ElapsedMs);
    object.insert(QStringLiteral("bytes_received"), entry.BytesReceived);
    object.insert(QStringLiteral("text"), entry.Text);
    return object;
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
    const auto invisible = [](char32_t u) {
        return u == 0x7F || (u >= 0x80 && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F
            || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
    };
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
        if (invisible(code)) {
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

QByteArray JsonReport(const SearchOutcome& outcome, bool batchRule)
{
    QJsonObject report;
    report.insert(QStringLiteral("query"), Utf8ToWideText(outcome.Typed));
    // A query never sent (not run, or a batch line that cannot be searched) has neither a sent form nor a kind.
    const bool sent = !outcome.NotRun && !outcome.Refused;
    report.insert(QStringLiteral("query_sent"), sent ? QJsonValue(Utf8ToWideText(outcome.Sent)) : QJsonValue());
    report.insert(QStringLiteral("kind"), sent ? QJsonValue(KindName(outcome.Kind)) : QJsonValue());
    if (outcome.Line > 0)
        report.insert(QStringLiteral("line"), outcome.Line);
    report.insert(QStringLiteral("started"), Time(outcome.Started));
    report.insert(QStringLiteral("ended"), Time(outcome.Ended));
    const bool good = batchRule ? outcome.GotAnswer() : outcome.ExitStatus() == 0;
    report.insert(QStringLiteral("exit_status"), good ? 0 : 1);
    report.insert(QStringLiteral("outcome"), OutcomeName(outcome, batchRule));
    if (!outcome.Error.isEmpty())
        report.insert(QStringLiteral("error"), outcome.Error);
    QJsonArray exchanges;
    for (const ExchangeEntry& entry : outcome.Exchanges)
        exchanges.append(ExchangeObject(entry));
    report.insert(QStringLiteral("exchanges"), exchanges);
    report.insert(QStringLiteral("worksheet"), QJsonArray::fromStringList(outcome.Lines));
    return EscapeInvisibleControls(QJsonDocument(report).toJson(QJsonDocument::Compact));
}

} // namespace vesk
