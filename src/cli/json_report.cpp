#include "cli/json_report.h"

#include "codecs/utf8_decoder.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vesk {

namespace {

// Code points that a terminal acts on or that turn the text around them, beyond the C0 controls.
bool Invisible(char32_t u)
{
    return u == 0x7F || (u >= 0x80 && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F
        || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

char HexDigit(uint value)
{
    return "0123456789abcdef"[value & 0xF];
}

// Writes JSON to a device in pieces of a bounded size. Strings are escaped as Qt's writer escapes them (quote,
// backslash, the short forms, \u00XX for the other C0 controls, \uXXXX for an unpaired surrogate), and in the same
// pass DEL, the C1 and the bidirectional controls become \uXXXX too.
class JsonWriter
{
public:
    explicit JsonWriter(QIODevice& out)
        : m_out(out)
    { }

    bool Finish()
    {
        Flush();
        return m_ok;
    }

    void Raw(QByteArrayView bytes)
    {
        if (m_buffer.size() + bytes.size() > kPiece) {
            Flush();
            // A long run needs no copy in the buffer.
            if (bytes.size() >= kPiece) {
                Write(bytes);
                return;
            }
        }
        m_buffer.append(bytes);
    }
    /// Starts an object or array ('{' or '[').
    void Open(char bracket)
    {
        Separate();
        Raw(QByteArrayView(&bracket, 1));
        m_first = true;
    }
    void Close(char bracket)
    {
        Raw(QByteArrayView(&bracket, 1));
        m_first = false;
    }
    void Key(QByteArrayView key)
    {
        Separate();
        Raw("\"");
        Raw(key);
        Raw("\":");
        m_first = true; // the value follows without a comma
    }
    /// A value written by the caller as raw JSON.
    void Value(QByteArrayView json)
    {
        Separate();
        Raw(json);
    }
    void Number(qint64 value) { Value(QByteArray::number(value)); }
    void Null() { Value("null"); }
    void String(QStringView text)
    {
        Separate();
        Raw("\"");
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t u = text[i].unicode();
            if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                Utf8(QChar::surrogateToUcs4(u, text[i + 1].unicode()));
                ++i;
            } else if (QChar::isSurrogate(u)) {
                Escape(u); // as Qt writes what UTF-8 cannot carry
            } else {
                Character(u);
            }
        }
        Raw("\"");
    }
    /// `text` as UTF-8 (an unpaired surrogate as its three bytes, as a kept report holds it); when it is not, as
    /// QString::fromUtf8 reads it.
    void String(QByteArrayView text)
    {
        if (!ValidUtf8(text)) {
            String(QString::fromUtf8(text));
            return;
        }
        Separate();
        Raw("\"");
        qsizetype copied = 0;
        for (qsizetype i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            const qsizetype length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            char32_t code = lead;
            if (length > 1) {
                code = lead & (0x7F >> length);
                for (qsizetype k = 1; k < length; ++k)
                    code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
            }
            // Runs of characters that need no escape are copied whole.
            if (code < 0x20 || code == '"' || code == '\\' || Invisible(code) || QChar::isSurrogate(code)) {
                Raw(text.sliced(copied, i - copied));
                if (QChar::isSurrogate(code))
                    Escape(code); // as Qt writes what UTF-8 cannot carry
                else
                    Character(code);
                copied = i + length;
            }
            i += length;
        }
        Raw(text.sliced(copied));
        Raw("\"");
    }

private:
    static constexpr qsizetype kPiece = qsizetype(64) * 1024;

    // UTF-8 with no overlong form, nothing beyond U+10FFFF and no cut sequence.
    static bool ValidUtf8(QByteArrayView text)
    {
        for (qsizetype i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            if (lead < 0x80) {
                ++i;
                continue;
            }
            const qsizetype length = lead >= 0xC2 && lead < 0xE0 ? 2
                : lead >= 0xE0 && lead < 0xF0                    ? 3
                : lead >= 0xF0 && lead < 0xF5                    ? 4
                                                                 : 0;
            if (length == 0 || i + length > text.size())
                return false;
            char32_t code = lead & (0x7F >> length);
            for (qsizetype k = 1; k < length; ++k) {
                const auto next = static_cast<unsigned char>(text[i + k]);
                if ((next & 0xC0) != 0x80)
                    return false;
                code = (code << 6) | (next & 0x3F);
            }
            // An unpaired surrogate's three bytes are how a kept report holds one (ReportLines).
            const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
            if (code < least || code > 0x10FFFF)
                return false;
            i += length;
        }
        return true;
    }

    void Separate()
    {
        if (!m_first)
            Raw(",");
        m_first = false;
    }
    void Escape(char32_t code)
    {
        const char escape[]
            = { '\\', 'u', HexDigit(code >> 12), HexDigit(code >> 8), HexDigit(code >> 4), HexDigit(code) };
        Raw(QByteArrayView(escape, sizeof escape));
    }
    // One character of a string, escaped where it must be.
    void Character(char32_t code)
    {
        const char* shortForm = code == '"' ? "\\\""
            : code == '\\'                  ? "\\\\"
            : code == 0x08                  ? "\\b"
            : code == 0x0C                  ? "\\f"
            : code == 0x0A                  ? "\\n"
            : code == 0x0D                  ? "\\r"
            : code == 0x09                  ? "\\t"
                                            : nullptr;
        if (shortForm != nullptr)
            Raw(shortForm);
        else if (code < 0x20 || Invisible(code))
            Escape(code);
        else
            Utf8(code);
    }
    void Utf8(char32_t code)
    {
        char bytes[4];
        qsizetype size = 0;
        if (code < 0x80) {
            bytes[size++] = static_cast<char>(code);
        } else if (code < 0x800) {
            bytes[size++] = static_cast<char>(0xC0 | (code >> 6));
            bytes[size++] = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes[size++] = static_cast<char>(0xE0 | (code >> 12));
            bytes[size++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes[size++] = static_cast<char>(0x80 | (code & 0x3F));
        } else {
            bytes[size++] = static_cast<char>(0xF0 | (code >> 18));
            bytes[size++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            bytes[size++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            bytes[size++] = static_cast<char>(0x80 | (code & 0x3F));
        }
        Raw(QByteArrayView(bytes, size));
    }
    void Write(QByteArrayView bytes)
    {
        if (m_ok && !bytes.isEmpty() && m_out.write(bytes.data(), bytes.size()) != bytes.size())
            m_ok = false;
    }
    void Flush()
    {
        Write(m_buffer);
        m_buffer.resize(0); // keeps its capacity for the next piece
    }

    QIODevice& m_out;
    QByteArray m_buffer;
    bool m_first = true;
    bool m_ok = true;
};

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
        if (Invisible(code)) {
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
