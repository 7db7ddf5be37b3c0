/// A JSON writer that streams to a device in pieces of a bounded size, escaping strings as Qt's writer does.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>

class QIODevice;

namespace vesk {

/// Code points that a terminal acts on or that turn the text around them, beyond the C0 controls: DEL, the C1
/// controls and the bidirectional controls.
bool IsInvisibleControl(char32_t code);

/// Writes JSON to a device in pieces of a bounded size. Strings are escaped as Qt's writer escapes them (quote,
/// backslash, the short forms, \u00XX for the other C0 controls, \uXXXX for an unpaired surrogate), and in the same
/// pass the invisible controls (IsInvisibleControl) become \uXXXX too. The caller writes keys in its own order.
class JsonWriter
{
public:
    explicit JsonWriter(QIODevice& out);

    /// Writes what is buffered; false when the device refused some of the output.
    bool Finish();

    void Raw(QByteArrayView bytes);
    /// Starts an object or array ('{' or '[').
    void Open(char bracket);
    void Close(char bracket);
    /// A key of plain ASCII that needs no escape.
    void Key(QByteArrayView key);
    /// A value written by the caller as raw JSON.
    void Value(QByteArrayView json);
    void Number(qint64 value) { Value(QByteArray::number(value)); }
    void Null() { Value("null"); }
    void String(QStringView text);
    /// `text` as UTF-8 (an unpaired surrogate as its three bytes, as a kept report holds it); when it is not, as
    /// QString::fromUtf8 reads it.
    void String(QByteArrayView text);

private:
    static bool ValidUtf8(QByteArrayView text);
    void Separate();
    void Escape(char32_t code);
    void Character(char32_t code);
    void Utf8(char32_t code);
    void Write(QByteArrayView bytes);
    void Flush();

    QIODevice& m_out;
    QByteArray m_buffer;
    bool m_first = true;
    bool m_ok = true;
};

} // namespace vesk
