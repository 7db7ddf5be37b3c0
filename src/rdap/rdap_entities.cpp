#include "rdap/rdap_entities.h"

#include <QRegularExpression>
#include <algorithm>

namespace vesk {

namespace {

bool HasRole(const QJsonObject& entity, QStringView role)
{
    for (const QJsonValue value : entity.value(u"roles").toArray()) {
        if (value.toString().trimmed().compare(role, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// A jCard value: a string, or the strings of a structured component joined with `separator`.
QString ComponentText(const QJsonValue& value, QStringView separator)
{
    if (!value.isArray())
        return TextMember(value).trimmed();
    QStringList parts;
    for (const QJsonValue part : value.toArray()) {
        const QString text = TextMember(part).trimmed();
        if (!text.isEmpty())
            parts.append(text);
    }
    return parts.join(separator);
}

// The "type" parameter holds `type`; the parameter may be a string or an array of strings.
bool HasType(const QJsonObject& parameters, QStringView type)
{
    const QJsonValue value = parameters.value(u"type");
    const QJsonArray types = value.isArray() ? value.toArray() : QJsonArray { value };
    for (const QJsonValue item : types) {
        if (item.toString().trimmed().compare(type, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// post office box, extended address, street, locality, region, postal code, country
void ReadAddress(const QJsonArray& parts, VCardContact& address)
{
    for (const int component : { 2, 1, 0 }) {
        const QJsonValue part = parts.at(component);
        const QJsonArray lines = part.isArray() ? part.toArray() : QJsonArray { part };
        for (const QJsonValue line : lines) {
            const QString text = TextMember(line).trimmed();
            if (!text.isEmpty())
                address.Street.append(text);
        }
    }
    address.City = ComponentText(parts.at(3), u", ");
    address.Region = ComponentText(parts.at(4), u", ");
    address.PostalCode = ComponentText(parts.at(5), u", ");
    address.Country = ComponentText(parts.at(6), u", ");
}

void CopyAddress(const VCardContact& from, VCardContact& to)
{
    to.Street = from.Street;
    to.City = from.City;
    to.Region = from.Region;
    to.PostalCode = from.PostalCode;
    to.Country = from.Country;
}

// "tel:+1.7035555555;ext=123" -> "+1.7035555555" and "123"; other URI parameters are dropped.
void SplitPhone(const QString& value, QString& number, QString& extension)
{
    QString text = value.trimmed();
    if (text.startsWith(u"tel:", Qt::CaseInsensitive))
        text.remove(0, 4);
    const QStringList parts = text.split(u';');
    number = parts.front().trimmed();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].trimmed().startsWith(u"ext=", Qt::CaseInsensitive))
            extension = parts[i].trimmed().mid(4).trimmed();
    }
}

} // namespace

QString TextMember(const QJsonValue& value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        // Whole numbers in the range a double holds exactly are written without a fraction; the range test comes
        // first because converting a larger double to an integer is undefined.
        const double number = value.toDouble();
        if (number > -1e15 && number < 1e15 && number == static_cast<double>(static_cast<long long>(number)))
            return QString::number(static_cast<long long>(number));
        return QString::number(number);
    }
    return QString();
}

QJsonObject FindEntity(const QJsonObject& object, QStringView role, int depth)
{
    QJsonArray level = object.value(u"entities").toArray();
    for (int d = 0; d < depth && !level.isEmpty(); ++d) {
        QJsonArray next;
        for (const QJsonValue value : level) {
            QJsonObject entity = value.toObject();
            if (HasRole(entity, role))
                return entity;
            if (d + 1 < depth) {
                for (const QJsonValue child : entity.value(u"entities").toArray())
                    next.append(child);
            }
        }
        level = next;
    }
    return QJsonObject();
}

QJsonObject FindDirectEntity(const QJsonObject& object, QStringView role)
{
    return FindEntity(object, role, 1);
}

VCardContact ReadVCard(const QJsonObject& entity)
{
    VCardContact contact;
    const QJsonArray card = entity.value(u"vcardArray").toArray();
    if (card.size() < 2 || card.at(0).toString().compare(u"vcard", Qt::CaseInsensitive) != 0)
        return contact;
    bool structuredAddress = false;
    QString addressLabel;
    for (const QJsonValue value : card.at(1).toArray()) {
        // [name, parameters, value type, value...]
        const QJsonArray property = value.toArray();
        if (property.size() < 4)
            continue;
        const QString name = property.at(0).toString().toLower();
        const QJsonObject parameters = property.at(1).toObject();
        const QJsonValue data = property.at(3);
        if (name == u"fn" && contact.Name.isEmpty()) {
            contact.Name = ComponentText(data, u" ");
        } else if (name == u"org" && contact.Organization.isEmpty()) {
            contact.Organization = data.isArray() ? TextMember(data.toArray().at(0)).trimmed() : TextMember(data);
        } else if (name == u"adr" && !structuredAddress) {
            VCardContact address;
            ReadAddress(data.toArray(), address);
            const QString cc = TextMember(parameters.value(u"cc")).trimmed();
            if (!cc.isEmpty())
                address.Country = cc;
            if (!address.Street.isEmpty() || !address.City.isEmpty() || !address.Region.isEmpty()
                || !address.PostalCode.isEmpty() || !address.Country.isEmpty()) {
                structuredAddress = true;
                CopyAddress(address, contact);
            }
            if (addressLabel.isEmpty())
                addressLabel = TextMember(parameters.value(u"label")).trimmed();
        } else if (name == u"tel") {
            const bool fax = HasType(parameters, u"fax");
            QString& number = fax ? contact.Fax : contact.Phone;
            if (number.isEmpty())
                SplitPhone(TextMember(data), number, fax ? contact.FaxExt : contact.PhoneExt);
        } else if (name == u"email" && contact.Email.isEmpty()) {
            contact.Email = TextMember(data).trimmed();
        } else if (name == u"contact-uri" && contact.ContactUri.isEmpty()) {
            contact.ContactUri = TextMember(data).trimmed();
        }
    }
    if (!structuredAddress && !addressLabel.isEmpty())
        SplitAddressLabel(addressLabel, contact);
    return contact;
}

void SplitAddressLabel(const QString& label, VCardContact& contact)
{
    QString text = label;
    text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    QStringList lines;
    for (const QString& line : text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines.append(trimmed);
    }
    static const QRegularExpression region(QStringLiteral("^[A-Z]{2,3}$"));
    static const QRegularExpression postal(QStringLiteral("^(?=.*[0-9])[A-Za-z0-9][A-Za-z0-9 -]{1,9}$"));
    static const QRegularExpression cityLine(QStringLiteral("^(.*[^0-9 ,].*), ([A-Z]{2,3}) ([A-Za-z0-9 -]{3,10})$"));
    const auto noDigits = [](const QString& line) {
        return std::none_of(line.begin(), line.end(), [](QChar c) { return c.isDigit(); });
    };
    const qsizetype n = lines.size();
    if (n >= 5 && noDigits(lines[n - 4]) && region.match(lines[n - 3]).hasMatch()
        && postal.match(lines[n - 2]).hasMatch() && noDigits(lines[n - 1])) {
        contact.Street = lines.mid(0, n - 4);
        contact.City = lines[n - 4];
        contact.Region = lines[n - 3];
        contact.PostalCode = lines[n - 2];
        contact.Country = lines[n - 1];
        return;
    }
    if (n >= 3 && noDigits(lines[n - 1])) {
        const QRegularExpressionMatch match = cityLine.match(lines[n - 2]);
        if (match.hasMatch() && postal.match(match.captured(3)).hasMatch()) {
            contact.Street = lines.mid(0, n - 2);
            contact.City = match.captured(1).trimmed();
            contact.Region = match.captured(2);
            contact.PostalCode = match.captured(3);
            contact.Country = lines[n - 1];
            return;
        }
    }
    contact.Street = lines;
}

QString EventDate(const QJsonObject& object, QStringView action)
{
    for (const QJsonValue value : object.value(u"events").toArray()) {
        const QJsonObject event = value.toObject();
        if (event.value(u"eventAction").toString().trimmed().compare(action, Qt::CaseInsensitive) == 0)
            return TextMember(event.value(u"eventDate")).trimmed();
    }
    return QString();
}

bool HasPrivacyRemark(const QJsonObject& entity)
{
    for (const QJsonValue value : entity.value(u"remarks").toArray()) {
        if (value.toObject().value(u"title").toString().trimmed().compare(u"REDACTED FOR PRIVACY", Qt::CaseInsensitive)
            == 0)
            return true;
    }
    return false;
}

} // namespace vesk
