#include "rdap/text_lines.h"

#include "rdap/rdap_entities.h"

#include <QJsonArray>

namespace vesk {

QString CleanRdapValue(const QString& value)
{
    QString out = value;
    if (out.size() > kMaxRdapValueChars) {
        qsizetype cut = kMaxRdapValueChars;
        if (out.at(cut).isLowSurrogate())
            --cut;
        out.truncate(cut);
    }
    for (QChar& c : out) {
        const char16_t unit = c.unicode();
        if (unit < 0x20 || (unit >= 0x7F && unit <= 0x9F) || unit == 0x2028 || unit == 0x2029)
            c = u' ';
    }
    return out;
}

void TextLines::Append(const QString& cleanLine)
{
    if (m_full)
        return;
    const QByteArray bytes = cleanLine.toUtf8();
    const qsizetype separator = m_lines ? 2 : 0;
    if (m_text.size() + separator + bytes.size() > kMaxRdapTextBytes) {
        m_full = true;
        return;
    }
    if (m_lines)
        m_text += "\r\n";
    m_text += bytes;
    m_lines = true;
}

void TextLines::AddLabel(QStringView label, const QString& value)
{
    AddPrefixed(label.toString() + QStringLiteral(": "), value);
}

void TextLines::AddPrefixed(const QString& prefix, const QString& value)
{
    Append(prefix + CleanRdapValue(value));
}

void AddNoticesAndRemarks(TextLines& lines, const QJsonObject& object)
{
    for (const QStringView member : { u"notices", u"remarks" }) {
        for (const QJsonValue value : object.value(member).toArray()) {
            if (lines.Full())
                return;
            const QJsonObject notice = value.toObject();
            const QString title = TextMember(notice.value(u"title")).trimmed();
            const QJsonArray description = notice.value(u"description").toArray();
            if (title.isEmpty() && description.isEmpty())
                continue;
            lines.AddEmpty();
            if (!title.isEmpty())
                lines.Add(title);
            for (const QJsonValue line : description)
                lines.Add(TextMember(line));
        }
    }
}

} // namespace vesk
