#include "rdap/domain_text.h"

#include "rdap/rdap_entities.h"
#include "rdap/text_lines.h"

#include <QJsonArray>
#include <QSet>

namespace vesk {

namespace {

// A contact role: the word of the port-43 labels, the RDAP role, and the word RFC 9537's examples use.
struct ContactRole
{
    QStringView Label;
    QStringView Role;
    QStringView Alias;
};

// "Tech" and "Name" -> "Tech Name".
QString Words(QStringView first, QStringView second)
{
    QString text;
    text.reserve(first.size() + 1 + second.size());
    text.append(first);
    text.append(u' ');
    text.append(second);
    return text;
}

constexpr ContactRole kContactRoles[] = {
    { u"Registrant", u"registrant", u"Registrant" },
    { u"Admin", u"administrative", u"Administrative" },
    { u"Tech", u"technical", u"Technical" },
    { u"Billing", u"billing", u"Billing" },
};

// The names that the answer's "redacted" array gives (name.type and name.description), lower-cased.
class RedactedNames
{
public:
    explicit RedactedNames(const QJsonObject& record)
    {
        for (const QJsonValue value : record.value(u"redacted").toArray()) {
            const QJsonObject name = value.toObject().value(u"name").toObject();
            for (const QStringView member : { u"type", u"description" }) {
                const QString text = name.value(member).toString().simplified().toLower();
                if (!text.isEmpty())
                    m_names.insert(text);
            }
        }
    }

    bool Names(const QString& label) const { return m_names.contains(label.toLower()); }

    // The field of a contact, under the port-43 word ("Tech Name") or the RDAP one ("Technical Name"), or the
    // whole contact ("Technical Contact").
    bool NamesField(const ContactRole& role, QStringView field) const
    {
        for (const QStringView word : { role.Label, role.Alias }) {
            if (Names(Words(word, field)) || Names(Words(word, u"Contact")))
                return true;
        }
        return false;
    }

    bool NamesAnyOf(const ContactRole& role) const
    {
        for (const QString& name : m_names) {
            if (name.startsWith(Words(role.Label, {}), Qt::CaseInsensitive)
                || name.startsWith(Words(role.Alias, {}), Qt::CaseInsensitive))
                return true;
        }
        return false;
    }

private:
    QSet<QString> m_names;
};

class DomainWriter
{
public:
    DomainWriter(const QJsonObject& record, TextLines& lines)
        : m_record(record)
        , m_lines(lines)
        , m_redacted(record)
    { }

    void Field(const QString& label, const QString& value)
    {
        if (m_redacted.Names(label))
            m_lines.AddLabel(label, QString::fromUtf16(kRdapRedacted));
        else if (!value.isEmpty())
            m_lines.AddLabel(label, value);
    }

    void Write()
    {
        Field(QStringLiteral("Domain Name"), DomainName());
        Field(QStringLiteral("Registry Domain ID"), TextMember(m_record.value(u"handle")).trimmed());
        Field(QStringLiteral("Registrar WHOIS Server"), TextMember(m_record.value(u"port43")).trimmed());

        const QJsonObject registrar = FindDirectEntity(m_record, u"registrar");
        const VCardContact registrarCard = ReadVCard(registrar);
        Field(QStringLiteral("Registrar URL"), RegistrarUrl(registrar));
        QString updated = EventDate(m_record, u"last changed");
        if (updated.isEmpty())
            updated = EventDate(m_record, u"last update"); // written so by some registrars
        Field(QStringLiteral("Updated Date"), updated);
        Field(QStringLiteral("Creation Date"), EventDate(m_record, u"registration"));
        Field(QStringLiteral("Registry Expiry Date"), EventDate(m_record, u"expiration"));
        Field(QStringLiteral("Registrar"),
              registrarCard.Name.isEmpty() ? registrarCard.Organization : registrarCard.Name);
        Field(QStringLiteral("Registrar IANA ID"), IanaId(registrar));
        QJsonObject abuse = FindDirectEntity(registrar, u"abuse");
        if (abuse.isEmpty())
            abuse = FindDirectEntity(m_record, u"abuse");
        const VCardContact abuseCard = ReadVCard(abuse);
        Field(QStringLiteral("Registrar Abuse Contact Email"), abuseCard.Email);
        Field(QStringLiteral("Registrar Abuse Contact Phone"), abuseCard.Phone);

        for (const QJsonValue status : m_record.value(u"status").toArray()) {
            if (m_lines.Full())
                break;
            Field(QStringLiteral("Domain Status"), EppStatus(TextMember(status)));
        }

        for (const ContactRole& role : kContactRoles)
            Contact(role);

        for (const QJsonValue value : m_record.value(u"nameservers").toArray()) {
            if (m_lines.Full())
                break;
            const QJsonObject server = value.toObject();
            QString name = TextMember(server.value(u"ldhName")).trimmed();
            if (name.isEmpty())
                name = TextMember(server.value(u"unicodeName")).trimmed();
            Field(QStringLiteral("Name Server"), name);
        }

        const QJsonValue signedDelegation = m_record.value(u"secureDNS").toObject().value(u"delegationSigned");
        if (signedDelegation.isBool())
            Field(QStringLiteral("DNSSEC"),
                  signedDelegation.toBool() ? QStringLiteral("signedDelegation") : QStringLiteral("unsigned"));
    }

private:
    QString DomainName() const
    {
        const QString ldh = TextMember(m_record.value(u"ldhName")).trimmed();
        return ldh.isEmpty() ? TextMember(m_record.value(u"unicodeName")).trimmed() : ldh;
    }

    // The registrar's web address is its "about" link (the gTLD RDAP profile).
    static QString RegistrarUrl(const QJsonObject& registrar)
    {
        for (const QJsonValue value : registrar.value(u"links").toArray()) {
            const QJsonObject link = value.toObject();
            if (link.value(u"rel").toString().trimmed().compare(u"about", Qt::CaseInsensitive) == 0)
                return TextMember(link.value(u"href")).trimmed();
        }
        return QString();
    }

    static QString IanaId(const QJsonObject& registrar)
    {
        for (const QJsonValue value : registrar.value(u"publicIds").toArray()) {
            const QJsonObject id = value.toObject();
            if (id.value(u"type").toString().trimmed().compare(u"IANA Registrar ID", Qt::CaseInsensitive) == 0)
                return TextMember(id.value(u"identifier")).trimmed();
        }
        return QString();
    }

    // A contact is written when the answer has its entity or withholds some of its fields.
    void Contact(const ContactRole& role)
    {
        const QJsonObject entity = FindDirectEntity(m_record, role.Role);
        if (entity.isEmpty() && !m_redacted.NamesAnyOf(role))
            return;
        const VCardContact card = ReadVCard(entity);
        const bool privacy = HasPrivacyRemark(entity);
        const auto field = [&](QStringView name, const QString& value) {
            const QString label = Words(role.Label, name);
            if (m_redacted.NamesField(role, name) || (privacy && value.isEmpty()))
                m_lines.AddLabel(label, QString::fromUtf16(kRdapRedacted));
            else if (!value.isEmpty())
                m_lines.AddLabel(label, value);
        };
        field(u"Name", card.Name);
        field(u"Organization", card.Organization);
        if (card.Street.isEmpty())
            field(u"Street", QString());
        for (const QString& street : card.Street)
            field(u"Street", street);
        field(u"City", card.City);
        field(u"State/Province", card.Region);
        field(u"Postal Code", card.PostalCode);
        field(u"Country", card.Country);
        field(u"Phone", card.Phone);
        field(u"Email", card.Email);
    }

    const QJsonObject& m_record;
    TextLines& m_lines;
    RedactedNames m_redacted;
};

} // namespace

QString EppStatus(const QString& rdapStatus)
{
    const QStringList words = rdapStatus.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.size() == 1 && words.front().compare(u"active", Qt::CaseInsensitive) == 0)
        return QStringLiteral("ok");
    QString epp;
    for (const QString& word : words) {
        const QString lower = word.toLower();
        epp += epp.isEmpty() ? lower : lower.left(1).toUpper() + lower.mid(1);
    }
    return epp;
}

QByteArray RenderDomainRecord(const RdapAnswer& answer, bool filterComments)
{
    if (answer.Kind != RdapAnswerKind::Domain)
        return QByteArray();
    TextLines lines;
    DomainWriter(answer.Object, lines).Write();
    if (!filterComments)
        AddNoticesAndRemarks(lines, answer.Object);
    return lines.Text();
}

} // namespace vesk
