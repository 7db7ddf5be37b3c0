#include "rdap/redaction.h"

#include "rdap/json_path.h"
#include "rdap/rdap_entities.h"

#include <QJsonArray>
#include <algorithm>

namespace vesk {

namespace {

// Entries beyond this are not read: a real answer names a few dozen fields.
constexpr qsizetype kMaxRedactedEntries = 64;

// The port-43 word of a contact role.
QString RoleWord(const QString& role)
{
    QString lower = role.trimmed().toLower();
    if (lower == u"registrant" || lower == u"billing")
        return lower;
    if (lower == u"administrative")
        return QStringLiteral("admin");
    if (lower == u"technical")
        return QStringLiteral("tech");
    if (lower == u"abuse")
        return QStringLiteral("registrar abuse contact");
    return QString();
}

// An entry's name in the words of the port-43 labels: "Technical Email" -> "tech email".
QString NormalizedName(const QString& name)
{
    QString text = name.simplified().toLower();
    for (const auto& [rdap, port43] :
         { std::pair { u"administrative", u"admin" }, std::pair { u"technical", u"tech" } }) {
        const QString word = QString::fromUtf16(rdap);
        if (text.startsWith(word + u' '))
            text = QString::fromUtf16(port43) + text.mid(word.size());
        const QString registry = QStringLiteral("registry ") + word + u' ';
        if (text.startsWith(registry))
            text = QStringLiteral("registry ") + QString::fromUtf16(port43) + text.mid(registry.size() - 1);
    }
    return text;
}

QString MemberAt(const JsonPath& steps, qsizetype at)
{
    return at < steps.size() && steps[at].Type == JsonPathStep::Kind::Member ? steps[at].Member.toLower() : QString();
}

bool IndexAt(const JsonPath& steps, qsizetype at, qsizetype index)
{
    return at < steps.size() && steps[at].Type == JsonPathStep::Kind::Index && steps[at].Index == index;
}

// A filter of the form @.member... == 'text' or @[n]... == 'text': its relative path and literal text.
bool FilterOn(const JsonPathStep& step, const JsonPath& relative, QString& literal)
{
    if (step.Type != JsonPathStep::Kind::Filter || !step.FilterEquals || !step.FilterLiteral.isString()
        || step.FilterPath.size() < relative.size())
        return false;
    for (qsizetype i = 0; i < relative.size(); ++i) {
        const JsonPathStep& have = step.FilterPath[i];
        const JsonPathStep& want = relative[i];
        if (have.Type != want.Type || have.Member.compare(want.Member, Qt::CaseInsensitive) != 0
            || (want.Type == JsonPathStep::Kind::Index && have.Index != want.Index))
            return false;
    }
    literal = step.FilterLiteral.toString();
    return true;
}

JsonPathStep MemberStep(const QString& name)
{
    JsonPathStep step;
    step.Member = name;
    return step;
}

JsonPathStep IndexStep(qsizetype index)
{
    JsonPathStep step;
    step.Type = JsonPathStep::Kind::Index;
    step.Index = index;
    return step;
}

QStringList TopLevelLabels(const QJsonObject& record, const JsonPath& steps)
{
    const QString top = MemberAt(steps, 0);
    if (steps.size() == 1) {
        if (top == u"handle")
            return { QStringLiteral("registry domain id") };
        if (top == u"port43")
            return { QStringLiteral("registrar whois server") };
        if (top == u"ldhname" || top == u"unicodename")
            return { QStringLiteral("domain name") };
        if (top == u"securedns")
            return { QStringLiteral("dnssec") };
    }
    if (top == u"events" && steps.size() == 2) {
        QString action;
        if (steps[1].Type == JsonPathStep::Kind::Index)
            action = record.value(u"events").toArray().at(steps[1].Index).toObject().value(u"eventAction").toString();
        else
            FilterOn(steps[1], { MemberStep(QStringLiteral("eventAction")) }, action);
        action = action.simplified().toLower();
        if (action == u"registration")
            return { QStringLiteral("creation date") };
        if (action == u"expiration")
            return { QStringLiteral("registry expiry date") };
        if (action == u"last changed")
            return { QStringLiteral("updated date") };
    }
    return {};
}

// The fields of a jCard property; `components` are the "adr" components the path selects (empty: all).
QStringList PropertyFields(const QString& property, const QString& telType, const QList<qsizetype>& components)
{
    if (property == u"fn")
        return { QStringLiteral("name") };
    if (property == u"org")
        return { QStringLiteral("organization") };
    if (property == u"email" || property == u"contact-uri")
        return { QStringLiteral("email") };
    if (property == u"tel")
        return { telType == u"fax" ? QStringLiteral("fax") : QStringLiteral("phone") };
    if (property != u"adr")
        return {};
    static const char16_t* const kComponents[]
        = { u"street", u"street", u"street", u"city", u"state/province", u"postal code", u"country" };
    QStringList fields;
    for (qsizetype c = 0; c < 7; ++c) {
        const QString field = QString::fromUtf16(kComponents[c]);
        if ((components.isEmpty() || components.contains(c)) && !fields.contains(field))
            fields.append(field);
    }
    return fields;
}

// `steps` is a location in `record` followed by the steps that selected nothing there.
QStringList LabelsOf(const QJsonObject& record, const JsonPath& steps)
{
    if (MemberAt(steps, 0) != u"entities")
        return TopLevelLabels(record, steps);

    // The entity: by index (its roles read from the answer) or by a filter on its roles, possibly nested.
    QJsonArray level = record.value(u"entities").toArray();
    QJsonObject entity;
    QStringList roles;
    qsizetype at = 1;
    for (;;) {
        if (at >= steps.size())
            return {};
        roles.clear();
        QString role;
        if (steps[at].Type == JsonPathStep::Kind::Index) {
            entity = level.at(steps[at].Index).toObject();
            for (const QJsonValue value : entity.value(u"roles").toArray())
                roles.append(value.toString());
        } else if (FilterOn(steps[at], { MemberStep(QStringLiteral("roles")) }, role)) {
            entity = QJsonObject();
            roles.append(role);
        } else {
            return {};
        }
        ++at;
        if (MemberAt(steps, at) != u"entities")
            break;
        level = entity.value(u"entities").toArray();
        ++at;
    }

    QStringList fields;
    const auto vcardProperty = [&]() -> bool {
        // .vcardArray[1][property][3][component][line]
        if (MemberAt(steps, at) != u"vcardarray" || !IndexAt(steps, at + 1, 1))
            return false;
        at += 2;
        if (at == steps.size()) {
            fields.append(QStringLiteral("contact"));
            return true;
        }
        QString property;
        QString telType;
        const JsonPathStep& select = steps[at];
        if (select.Type == JsonPathStep::Kind::Index) {
            const QJsonArray found = entity.value(u"vcardArray").toArray().at(1).toArray().at(select.Index).toArray();
            property = found.at(0).toString();
            const QJsonValue type = found.at(1).toObject().value(u"type");
            const QJsonArray types = type.isArray() ? type.toArray() : QJsonArray { type };
            for (const QJsonValue item : types)
                telType = telType == u"fax" ? telType : item.toString().toLower();
        } else if (!FilterOn(select, { IndexStep(0) }, property)) {
            if (!FilterOn(select, { IndexStep(1), MemberStep(QStringLiteral("type")) }, telType))
                return false;
            property = QStringLiteral("tel");
        }
        ++at;
        QList<qsizetype> components;
        if (IndexAt(steps, at, 3)) {
            ++at;
            if (at < steps.size() && steps[at].Type == JsonPathStep::Kind::Index) {
                components.append(steps[at].Index);
                ++at;
            } else if (at < steps.size() && steps[at].Type == JsonPathStep::Kind::Slice) {
                const qsizetype end = std::min<qsizetype>(steps[at].End.value_or(7), 7);
                for (qsizetype c = std::max<qsizetype>(steps[at].Index, 0); c < end; ++c)
                    components.append(c);
                ++at;
                if (components.isEmpty())
                    return false;
            }
            if (at < steps.size() && steps[at].Type == JsonPathStep::Kind::Index)
                ++at; // one line of a street component
        }
        if (at != steps.size())
            return false;
        fields = PropertyFields(property.toLower(), telType.toLower(), components);
        return !fields.isEmpty();
    };
    if (at == steps.size()) {
        fields.append(QStringLiteral("contact"));
    } else if (MemberAt(steps, at) == u"handle" && at + 1 == steps.size()) {
        fields.append(QStringLiteral("id"));
    } else if (!vcardProperty()) {
        return {};
    }

    QStringList labels;
    for (const QString& role : roles) {
        const QString word = RoleWord(role);
        if (word.isEmpty())
            continue;
        for (const QString& field : fields) {
            if (word == u"registrar abuse contact") {
                if (field == u"email" || field == u"phone")
                    labels.append(word + u' ' + field);
                else if (field == u"contact")
                    labels << word + QStringLiteral(" email") << word + QStringLiteral(" phone");
            } else if (field == u"id") {
                labels.append(QStringLiteral("registry ") + word + QStringLiteral(" id"));
            } else {
                labels.append(word + u' ' + field);
            }
        }
    }
    return labels;
}

QString ReplacementValue(const QJsonObject& record, const QString& path)
{
    const std::optional<JsonPath> steps = ParseJsonPath(path);
    if (!steps)
        return QString();
    const QList<JsonPathMatch> matches = EvaluateJsonPath(record, *steps);
    if (matches.isEmpty())
        return QString();
    const QJsonValue value = matches.front().Value;
    // A whole jCard property: its value.
    if (value.isArray() && value.toArray().size() >= 4)
        return TextMember(value.toArray().at(3)).trimmed();
    return TextMember(value).trimmed();
}

} // namespace

QStringList RedactedLabels(const QJsonObject& record, QStringView path)
{
    const std::optional<JsonPath> steps = ParseJsonPath(path);
    if (!steps)
        return {};
    // A removed value leaves the rest of the path to be read by its form.
    const JsonPathPrefix prefix = LongestJsonPathPrefix(record, *steps);
    QStringList labels;
    for (const JsonPathMatch& match : prefix.Matches) {
        JsonPath located;
        for (const JsonPathKey& key : match.Location)
            located.append(key.Index >= 0 ? IndexStep(key.Index) : MemberStep(key.Member));
        located.append(steps->mid(prefix.Steps));
        for (const QString& label : LabelsOf(record, located)) {
            if (!labels.contains(label))
                labels.append(label);
        }
    }
    return labels;
}

RdapRedactions::RdapRedactions(const QJsonObject& record)
{
    const QJsonArray entries = record.value(u"redacted").toArray();
    for (qsizetype i = 0; i < entries.size() && i < kMaxRedactedEntries; ++i) {
        const QJsonObject item = entries.at(i).toObject();
        Entry entry;
        for (const QStringView member : { u"prePath", u"postPath" }) {
            const QString path = item.value(member).toString();
            if (!path.isEmpty() && entry.Labels.isEmpty())
                entry.Labels = RedactedLabels(record, path);
        }
        if (entry.Labels.isEmpty()) {
            const QJsonObject name = item.value(u"name").toObject();
            for (const QStringView member : { u"type", u"description" }) {
                const QString text = NormalizedName(name.value(member).toString());
                if (!text.isEmpty())
                    entry.Labels.append(text);
            }
        }
        if (entry.Labels.isEmpty())
            continue;
        const QString method = item.value(u"method").toString().trimmed();
        if (method.compare(u"replacementValue", Qt::CaseInsensitive) == 0
            || method.compare(u"partialValue", Qt::CaseInsensitive) == 0) {
            entry.Redaction.State = RedactionState::Replaced;
            entry.Redaction.Replacement = ReplacementValue(record, item.value(u"replacementPath").toString());
        } else {
            entry.Redaction.State = RedactionState::Withheld;
        }
        m_entries.append(std::move(entry));
    }
}

FieldRedaction RdapRedactions::Find(QStringView label) const
{
    const QString lower = label.toString().toLower();
    for (const Entry& entry : m_entries) {
        if (entry.Labels.contains(lower))
            return entry.Redaction;
    }
    return FieldRedaction();
}

bool RdapRedactions::NamesAnyOf(QStringView word) const
{
    const QString prefix = word.toString().toLower() + u' ';
    const QString id = QStringLiteral("registry ") + prefix + QStringLiteral("id");
    for (const Entry& entry : m_entries) {
        for (const QString& label : entry.Labels) {
            if (label.startsWith(prefix) || label == id)
                return true;
        }
    }
    return false;
}

} // namespace vesk
