#include "codecs/utf8_decoder.h"

namespace vesk {

namespace {

// The last code point there is; UTF-16 reaches it with a surrogate pair.
constexpr uint32_t kLastCodePoint = 0x10FFFF;

} // namespace

DecodedChar DecodeUtf8Char(const char* bytes, qsizetype left)
{
    DecodedChar out;
    if (bytes == nullptr || left <= 0)
        return out;

    const auto first = static_cast<uint8_t>(bytes[0]);
    out.length = 1;
    out.value = first;
    if (first < 0x80) {
        out.status = DecodeStatus::Ok;
        return out;
    }
    int announced = 0;
    uint32_t value = 0;
    if (first >= 0xC0 && first <= 0xDF) {
        announced = 2;
        value = first & 0x1Fu;
    } else if (first >= 0xE0 && first <= 0xEF) {
        announced = 3;
        value = first & 0x0Fu;
    } else if (first >= 0xF0 && first <= 0xF7) {
        announced = 4;
        value = first & 0x07u;
    } else {
        // A continuation byte, or F8 to FF: nothing can start here.
        out.status = DecodeStatus::Invalid;
        return out;
    }
    // The bytes that are there are checked before the length: a Latin-1 letter followed by plain text near the
    // end (E9 'x') is invalid, not a cut sequence, so the text after it is kept.
    const int present = announced > left ? static_cast<int>(left) : announced;
    for (int i = 1; i < present; ++i) {
        const auto next = static_cast<uint8_t>(bytes[i]);
        if ((next & 0xC0u) != 0x80u) {
            out.status = DecodeStatus::Invalid;
            return out;
        }
        value = (value << 6) | (next & 0x3Fu);
    }
    if (present < announced) {
        // A sequence cut by the end of the text: the announced length is kept, so a caller that advances by it
        // stops there, and the value is the first byte.
        out.length = announced;
        out.status = DecodeStatus::Incomplete;
        return out;
    }
    // Overlong forms and surrogate values are let through on purpose: the text is shown, not validated.
    out.length = announced;
    out.value = value;
    out.status = DecodeStatus::Ok;
    return out;
}

DecodedWideChar DecodeUtf8WideChar(const char* bytes, qsizetype left)
{
    const DecodedChar decoded = DecodeUtf8Char(bytes, left);
    DecodedWideChar out;
    out.length = decoded.length;
    if (decoded.value > 0xFFFFu) {
        out.status = DecodeStatus::OutOfRange;
        out.unit = 0;
    } else {
        out.status = decoded.status;
        out.unit = static_cast<char16_t>(decoded.value);
    }
    return out;
}

bool IsPlainAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<uint8_t>(c) >= 0x80)
            return false;
    }
    return true;
}

QString WidenLatin1(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}

QString Utf8ToWideText(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return {};
    if (IsPlainAscii(bytes))
        return WidenLatin1(bytes);

    // A sequence gives at most one unit per byte (a surrogate pair takes four), so the input length bounds the
    // output.
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* units = out.data();
    qsizetype count = 0;
    const char* at = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        // Plain ASCII bytes between the encoded ones need no decoding.
        if (static_cast<uint8_t>(*at) < 0x80) {
            units[count++] = QChar(static_cast<char16_t>(*at));
            ++at;
            --left;
            continue;
        }
        const DecodedChar decoded = DecodeUtf8Char(at, left);
        if (decoded.status == DecodeStatus::Ok && decoded.value > kLastCodePoint) {
            // Four bytes can spell more than Unicode holds: no character, so the first byte stands for itself and
            // decoding goes on after it, as for any other byte that starts nothing valid.
            units[count++] = QChar(static_cast<char16_t>(static_cast<uint8_t>(*at)));
            ++at;
            --left;
            continue;
        }
        if (decoded.status == DecodeStatus::Ok && decoded.value > 0xFFFFu) {
            units[count++] = QChar(QChar::highSurrogate(decoded.value));
            units[count++] = QChar(QChar::lowSurrogate(decoded.value));
        } else {
            units[count++] = QChar(static_cast<char16_t>(decoded.value));
        }
        // An incomplete sequence at the end announces more bytes than are left: the text ends with it.
        if (decoded.length >= left)
            break;
        at += decoded.length;
        left -= decoded.length;
    }
    out.truncate(count);
    return out;
}

} // namespace vesk
