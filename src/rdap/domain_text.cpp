#include "rdap/domain_text.h"

#include "rdap/rdap_entities.h"
#include "rdap/redaction.h"
#include "rdap/text_lines.h"

#include <QJsonArray>

namespace vesk {

namespace {

// A contact role: the word of the port-43 labels and the RDAP role.
struct ContactRole
{
    QStringView Label;
    QStringView Role;
};

constexpr ContactRole kContactRoles[] = {
    { u"Registrant", u"registrant" },
    { u"Admin", u"administrative" },
    { u"Tech", u"technical" },
    { u"Billing", u"billing" },
};

// The domain status values with an EPP name (RFC 8056), keyed by the RDAP words run together in lower case, so
// "client transfer prohibited" and a server's "clientTransferProhibited" both find it.
QString KnownEppStatus(const QString& rdapStatus)
{
    static const QStringList kEppNames = {
        QStringLiteral("addPeriod"),
        QStringLiteral("autoRenewPeriod"),
        QStringLiteral("clientDeleteProhibited"),
        QStringLiteral("clientHold"),
        QStringLiteral("clientRenewProhibited"),
        QStringLiteral("clientTransferProhibited"),
        QStringLiteral("clientUpdateProhibited"),
        QStringLiteral("inactive"),
        QStringLiteral("ok"),
        QStringLiteral("pendingCreate"),
        QStringLiteral("pendingDelete"),
        QStringLiteral("pendingRenew"),
        QStringLiteral("pendingRestore"),
        QStringLiteral("pendingTransfer"),
        QStringLiteral("pendingUpdate"),
        QStringLiteral("redemptionPeriod"),
        QStringLiteral("renewPeriod"),
        QStringLiteral("serverDeleteProhibited"),
        QStringLiteral("serverHold"),
        QStringLiteral("serverRenewProhibited"),
        QStringLiteral("serverTransferProhibited"),
        QStringLiteral("serverUpdateProhibited"),
        QStringLiteral("transferPeriod"),
    };
    QString key = rdapStatus;
    key.remove(u' ');
    if (key.compare(u"active", Qt::CaseInsensitive) == 0)
        return QStringLiteral("ok");
    for (const QString& name : kEppNames) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return name;
    }
    return QString();
}

// The first link of the notice about ICANN's inaccuracy complaint form, else the address its text ends with.
QString InaccuracyFormUrl(const QJsonObject& record)
{
    for (const QJsonValue value : record.value(u"notices").toArray()) {
        const QJsonObject notice = value.toObject();
        const QString title = TextMember(notice.value(u"title"));
        if (!title.contains(u"Inaccuracy Complaint Form", Qt::CaseInsensitive))
            continue;
        for (const QJsonValue link : notice.value(u"links").toArray()) {
            QString href = TextMember(link.toObject().value(u"href")).trimmed();
            if (!href.isEmpty())
                return href;
        }
        for (const QJsonValue line : notice.value(u"description").toArray()) {
            const QString text = TextMember(line).trimmed();
            const qsizetype at = text.indexOf(QStringLiteral("http"), 0, Qt::CaseInsensitive);
            if (at >= 0) {
                QString url = text.mid(at).section(u' ', 0, 0);
                if (url.endsWith(u'.'))
                    url.chop(1);
                return url;
            }
        }
    }
    return QString();
}

// Writes one record from the registry's answer and the registrar's, each value from the server that owns it: the
// registry its ID, dates, status, name servers, DNSSEC and database date; the registrar its server, expiry, abuse
// contact, contacts and the complaint form. With one answer both are the same object.
class DomainWriter
{
public:
    DomainWriter(const QJsonObject& registry, const QJsonObject& registrar, TextLines& lines)
        : m_registry(registry)
        , m_registrar(registrar)
        , m_merged(&registry != &registrar)
        , m_lines(lines)
        , m_registryRedacted(registry)
        , m_registrarRedacted(registrar)
    { }

    // A field line: REDACTED where the answer withholds it, the replacement where it replaces it, else its value.
    void Field(const QString& label, const QString& value, const FieldRedaction& redaction)
    {
        if (redaction.State == RedactionState::Withheld)
            m_lines.AddLabel(label, QString::fromUtf16(kRdapRedacted));
        else if (redaction.State == RedactionState::Replaced && !redaction.Replacement.isEmpty())
            m_lines.AddLabel(label, redaction.Replacement);
        else if (!value.isEmpty())
            m_lines.AddLabel(label, value);
    }

    void RegistryField(const QString& label, const QString& value)
    {
        Field(label, value, m_registryRedacted.Find(label));
    }

    void RegistrarField(const QString& label, const QString& value)
    {
        Field(label, value, m_registrarRedacted.Find(label));
    }

    void Write()
    {
        QString name = DomainName(m_registry);
        RegistryField(QStringLiteral("Domain Name"), name.isEmpty() ? DomainName(m_registrar) : name);
        RegistryField(QStringLiteral("Registry Domain ID"), TextMember(m_registry.value(u"handle")).trimmed());
        RegistrarField(QStringLiteral("Registrar WHOIS Server"), TextMember(m_registrar.value(u"port43")).trimmed());

        // The registrar's own entity where its answer has one, else the one the registry names.
        QJsonObject registrar = FindDirectEntity(m_registrar, u"registrar");
        if (registrar.isEmpty())
            registrar = FindDirectEntity(m_registry, u"registrar");
        const VCardContact registrarCard = ReadVCard(registrar);
        RegistrarField(QStringLiteral("Registrar URL"), RegistrarUrl(registrar));
        QString updated = EventDate(m_registry, u"last changed");
        if (updated.isEmpty())
            updated = EventDate(m_registry, u"last update"); // written so by some registrars
        RegistryField(QStringLiteral("Updated Date"), updated);
        RegistryField(QStringLiteral("Creation Date"), EventDate(m_registry, u"registration"));
        RegistryField(QStringLiteral("Registry Expiry Date"), EventDate(m_registry, u"expiration"));
        // Registrars put their own expiry on the domain or on their entity; beside the registry's record, a
        // registrar's plain expiration is its own too.
        QString registrarExpiry = EventDate(m_registrar, u"registrar expiration");
        if (registrarExpiry.isEmpty())
            registrarExpiry = EventDate(registrar, u"registrar expiration");
        if (registrarExpiry.isEmpty() && m_merged)
            registrarExpiry = EventDate(m_registrar, u"expiration");
        RegistrarField(QStringLiteral("Registrar Registration Expiration Date"), registrarExpiry);
        RegistrarField(QStringLiteral("Registrar"),
                       registrarCard.Name.isEmpty() ? registrarCard.Organization : registrarCard.Name);
        QString ianaId = IanaId(registrar);
        if (ianaId.isEmpty())
            ianaId = IanaId(FindDirectEntity(m_registry, u"registrar"));
        RegistrarField(QStringLiteral("Registrar IANA ID"), ianaId);
        QJsonObject abuse = FindDirectEntity(registrar, u"abuse");
        if (abuse.isEmpty())
            abuse = FindDirectEntity(m_registrar, u"abuse");
        if (abuse.isEmpty())
            abuse = FindDirectEntity(FindDirectEntity(m_registry, u"registrar"), u"abuse");
        const VCardContact abuseCard = ReadVCard(abuse);
        RegistrarField(QStringLiteral("Registrar Abuse Contact Email"), abuseCard.Email);
        RegistrarField(QStringLiteral("Registrar Abuse Contact Phone"), abuseCard.Phone);

        for (const QJsonValue status : m_registry.value(u"status").toArray()) {
            if (m_lines.Full())
                break;
            const QString given = TextMember(status).simplified();
            const QString epp = KnownEppStatus(given);
            RegistryField(QStringLiteral("Domain Status"),
                          epp.isEmpty() ? given : epp + QStringLiteral(" https://icann.org/epp#") + epp);
        }

        for (const ContactRole& role : kContactRoles)
            Contact(role);

        for (const QJsonValue value : m_registry.value(u"nameservers").toArray()) {
            if (m_lines.Full())
                break;
            const QJsonObject server = value.toObject();
            QString serverName = TextMember(server.value(u"ldhName")).trimmed();
            if (serverName.isEmpty())
                serverName = TextMember(server.value(u"unicodeName")).trimmed();
            RegistryField(QStringLiteral("Name Server"), serverName);
        }

        const QJsonValue signedDelegation = m_registry.value(u"secureDNS").toObject().value(u"delegationSigned");
        if (signedDelegation.isBool())
            RegistryField(QStringLiteral("DNSSEC"),
                          signedDelegation.toBool() ? QStringLiteral("signedDelegation") : QStringLiteral("unsigned"));

        QString form = InaccuracyFormUrl(m_registrar);
        if (form.isEmpty())
            form = InaccuracyFormUrl(m_registry);
        if (!form.isEmpty())
            m_lines.AddLabel(u"URL of the ICANN Whois Inaccuracy Complaint Form", form);
        const QString lastUpdate = EventDate(m_registry, u"last update of RDAP database");
        if (!lastUpdate.isEmpty())
            m_lines.Add(QStringLiteral(">>> Last update of RDAP database: ") + lastUpdate + QStringLiteral(" <<<"));
    }

private:
    static QString DomainName(const QJsonObject& record)
    {
        const QString ldh = TextMember(record.value(u"ldhName")).trimmed();
        return ldh.isEmpty() ? TextMember(record.value(u"unicodeName")).trimmed() : ldh;
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
        const QJsonObject entity = FindDirectEntity(m_registrar, role.Role);
        if (entity.isEmpty() && !m_registrarRedacted.NamesAnyOf(role.Label))
            return;
        const VCardContact card = ReadVCard(entity);
        const bool privacy = HasPrivacyRemark(entity);
        const FieldRedaction whole = m_registrarRedacted.Find(role.Label.toString() + QStringLiteral(" Contact"));
        // `core`: a field every contact has, so a withheld contact or a privacy remark stands for it when empty.
        const auto field = [&](QStringView name, const QString& value, bool core) {
            const QString label = role.Label.toString() + u' ' + name.toString();
            FieldRedaction redaction = m_registrarRedacted.Find(label);
            if (redaction.State == RedactionState::NotNamed && core) {
                redaction = whole;
                if (redaction.State == RedactionState::NotNamed && privacy && value.isEmpty())
                    redaction.State = RedactionState::Withheld;
            }
            Field(label, value, redaction);
        };
        RegistrarField(QStringLiteral("Registry ") + role.Label.toString() + QStringLiteral(" ID"),
                       TextMember(entity.value(u"handle")).trimmed());
        field(u"Name", card.Name, true);
        field(u"Organization", card.Organization, true);
        if (card.Street.isEmpty())
            field(u"Street", QString(), true);
        for (const QString& street : card.Street)
            field(u"Street", street, true);
        field(u"City", card.City, true);
        field(u"State/Province", card.Region, true);
        field(u"Postal Code", card.PostalCode, true);
        field(u"Country", card.Country, true);
        field(u"Phone", card.Phone, true);
        field(u"Phone Ext", card.PhoneExt, false);
        field(u"Fax", card.Fax, false);
        field(u"Fax Ext", card.FaxExt, false);
        // A contact form stands where registrars no longer publish the address.
        field(u"Email", card.Email.isEmpty() ? card.ContactUri : card.Email, true);
    }

    const QJsonObject& m_registry;
    const QJsonObject& m_registrar;
    const bool m_merged;
    TextLines& m_lines;
    RdapRedactions m_registryRedacted;
    RdapRedactions m_registrarRedacted;
};

} // namespace

QString EppStatus(const QString& rdapStatus)
{
    const QString given = rdapStatus.simplified();
    const QString epp = KnownEppStatus(given);
    return epp.isEmpty() ? given : epp;
}

QByteArray RenderDomainRecord(const RdapAnswer& answer, bool filterComments)
{
    if (answer.Kind != RdapAnswerKind::Domain)
        return QByteArray();
    TextLines lines;
    DomainWriter(answer.Object, answer.Object, lines).Write();
    if (!filterComments)
        AddNoticesAndRemarks(lines, answer.Object);
    return lines.Text();
}

QByteArray RenderDomainRecords(const RdapAnswer& registry, const RdapAnswer& registrar, bool filterComments)
{
    if (registry.Kind != RdapAnswerKind::Domain)
        return RenderDomainRecord(registrar, filterComments);
    if (registrar.Kind != RdapAnswerKind::Domain)
        return RenderDomainRecord(registry, filterComments);
    TextLines lines;
    DomainWriter(registry.Object, registrar.Object, lines).Write();
    if (!filterComments)
        AddNoticesAndRemarks(lines, registrar.Object);
    return lines.Text();
}

} // namespace vesk
