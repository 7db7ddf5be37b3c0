#include "rdap/rdap_entities.h"

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
    bool haveAddress = false;
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
        } else if (name == u"adr" && !haveAddress) {
            haveAddress = true;
            // post office box, extended address, street, locality, region, postal code, country
            const QJsonArray parts = data.toArray();
            const QJsonValue street = parts.at(2);
            const QJsonArray streets = street.isArray() ? street.toArray() : QJsonArray { street };
            for (const QJsonValue line : streets) {
                const QString text = TextMember(line).trimmed();
                if (!text.isEmpty())
                    contact.Street.append(text);
            }
            const QString extended = ComponentText(parts.at(1), u", ");
            if (!extended.isEmpty())
                contact.Street.append(extended);
            contact.City = ComponentText(parts.at(3), u", ");
            contact.Region = ComponentText(parts.at(4), u", ");
            contact.PostalCode = ComponentText(parts.at(5), u", ");
            contact.Country = ComponentText(parts.at(6), u", ");
            if (contact.Country.isEmpty())
                contact.Country = TextMember(parameters.value(u"cc")).trimmed();
        } else if (name == u"tel" && contact.Phone.isEmpty() && !HasType(parameters, u"fax")) {
            QString phone = TextMember(data).trimmed();
            if (phone.startsWith(u"tel:", Qt::CaseInsensitive))
                phone.remove(0, 4);
            contact.Phone = phone;
        } else if (name == u"email" && contact.Email.isEmpty()) {
            contact.Email = TextMember(data).trimmed();
        }
    }
    return contact;
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
