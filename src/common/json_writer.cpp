#include "common/json_writer.h"

#include <QChar>
#include <QIODevice>

namespace vesk {

namespace {

constexpr qsizetype kPiece = qsizetype(64) * 1024;

char HexDigit(uint value)
{
    return "0123456789abcdef"[value & 0xF];
}

} // namespace

bool IsInvisibleControl(char32_t u)
{
    return u == 0x7F || (u >= 0x80 && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F
        || (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}

JsonWriter::JsonWriter(QIODevice& out)
    : m_out(out)
{ }

bool JsonWriter::Finish()
{
    Flush();
    return m_ok;
}

void JsonWriter::Raw(QByteArrayView bytes)
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

void JsonWriter::Open(char bracket)
{
    Separate();
    Raw(QByteArrayView(&bracket, 1));
    m_first = true;
}

void JsonWriter::Close(char bracket)
{
    Raw(QByteArrayView(&bracket, 1));
    m_first = false;
}

void JsonWriter::Key(QByteArrayView key)
{
    Separate();
    Raw("\"");
    Raw(key);
    Raw("\":");
    m_first = true; // the value follows without a comma
}

void JsonWriter::Value(QByteArrayView json)
{
    Separate();
    Raw(json);
}

void JsonWriter::String(QStringView text)
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

void JsonWriter::String(QByteArrayView text)
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
        if (code < 0x20 || code == '"' || code == '\\' || IsInvisibleControl(code) || QChar::isSurrogate(code)) {
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

// UTF-8 with no overlong form, nothing beyond U+10FFFF and no cut sequence.
bool JsonWriter::ValidUtf8(QByteArrayView text)
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

void JsonWriter::Separate()
{
    if (!m_first)
        Raw(",");
    m_first = false;
}

void JsonWriter::Escape(char32_t code)
{
    const char escape[] = { '\\', 'u', HexDigit(code >> 12), HexDigit(code >> 8), HexDigit(code >> 4), HexDigit(code) };
    Raw(QByteArrayView(escape, sizeof escape));
}

// One character of a string, escaped where it must be.
void JsonWriter::Character(char32_t code)
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
    else if (code < 0x20 || IsInvisibleControl(code))
        Escape(code);
    else
        Utf8(code);
}

void JsonWriter::Utf8(char32_t code)
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

void JsonWriter::Write(QByteArrayView bytes)
{
    if (m_ok && !bytes.isEmpty() && m_out.write(bytes.data(), bytes.size()) != bytes.size())
        m_ok = false;
}

void JsonWriter::Flush()
{
    Write(m_buffer);
    m_buffer.resize(0); // keeps its capacity for the next piece
}

} // namespace vesk
