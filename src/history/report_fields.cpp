#include "history/report_fields.h"

#include "common/json_writer.h"
#include "lookup/report_texts.h"

#include <QBuffer>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>
#include <array>
#include <utility>

namespace vesk {

namespace {

enum class Scope : uint8_t { Domain = 1, Network = 2, Both = 3, None = 0 };

bool InScope(Scope section, Scope field)
{
    return (static_cast<uint8_t>(section) & static_cast<uint8_t>(field)) != 0;
}

enum class Meaning : uint8_t { Text, CaseFree, Date, Status, NameServer, AsNumber, Organization, AddressBlock };

struct FieldRule
{
    const char16_t* Label;
    Scope Where;
    Meaning How;
    std::array<const char16_t*, 6> Names; ///< the labels servers write, compared case-insensitively; null ends
    bool Block = false; ///< written also as the label alone, with its values on the indented lines below
};

// The labels of gTLD port-43 records, which rendered RDAP records use too, and those of the regional registries.
const FieldRule kRules[] = {
    { u"Registrar", Scope::Domain, Meaning::Text, { u"Registrar", u"Sponsoring Registrar" }, true },
    { u"Registrar IANA ID",
      Scope::Domain,
      Meaning::CaseFree,
      { u"Registrar IANA ID", u"Sponsoring Registrar IANA ID" },
      false },
    { u"Domain Status", Scope::Domain, Meaning::Status, { u"Domain Status", u"Status", u"Registration status" }, true },
    { u"Name Server",
      Scope::Domain,
      Meaning::NameServer,
      { u"Name Server", u"Nameserver", u"nserver", u"Name Servers", u"Nameservers" },
      true },
    { u"DNSSEC", Scope::Domain, Meaning::CaseFree, { u"DNSSEC" }, false },
    { u"Creation Date", Scope::Domain, Meaning::Date, { u"Creation Date", u"Registered on" }, false },
    { u"Updated Date", Scope::Domain, Meaning::Date, { u"Updated Date", u"Last updated" }, false },
    { u"Registry Expiry Date",
      Scope::Domain,
      Meaning::Date,
      { u"Registry Expiry Date", u"Registry Expiration Date", u"Expiration Date", u"Expiry date" },
      false },
    { u"Registrar Registration Expiration Date",
      Scope::Domain,
      Meaning::Date,
      { u"Registrar Registration Expiration Date" },
      false },
    { u"Registrant Organization", Scope::Domain, Meaning::Text, { u"Registrant Organization" }, false },
    { u"Registrant Name", Scope::Domain, Meaning::Text, { u"Registrant Name" }, false },
    { u"Registrant State/Province", Scope::Domain, Meaning::Text, { u"Registrant State/Province" }, false },
    { u"Registrant Country", Scope::Domain, Meaning::CaseFree, { u"Registrant Country" }, false },
    { u"Registrar Abuse Contact Email", Scope::Domain, Meaning::CaseFree, { u"Registrar Abuse Contact Email" }, false },
    { u"NetRange", Scope::Network, Meaning::AddressBlock, { u"NetRange", u"inetnum", u"inet6num" }, false },
    { u"CIDR", Scope::Network, Meaning::AddressBlock, { u"CIDR" }, false },
    { u"NetName", Scope::Network, Meaning::Text, { u"NetName" }, false },
    { u"OriginAS", Scope::Network, Meaning::AsNumber, { u"OriginAS", u"origin" }, false },
    { u"Organization",
      Scope::Network,
      Meaning::Organization,
      { u"Organization", u"OrgName", u"org-name", u"owner" },
      false },
    { u"Country", Scope::Network, Meaning::CaseFree, { u"Country" }, false },
    { u"ASNumber", Scope::Network, Meaning::AsNumber, { u"ASNumber", u"aut-num" }, false },
    { u"ASName", Scope::Network, Meaning::Text, { u"ASName", u"as-name" }, false },
};

const FieldRule* RuleForLabel(QStringView label)
{
    for (const FieldRule& rule : kRules) {
        if (QStringView(rule.Label) == label)
            return &rule;
    }
    return nullptr;
}

const FieldRule* RuleForName(QStringView name, Scope section)
{
    for (const FieldRule& rule : kRules) {
        if (!InScope(section, rule.Where))
            continue;
        for (const char16_t* known : rule.Names) {
            // Case folding keeps the length: most labels a report holds are told apart by it alone.
            if (known != nullptr && QStringView(known).size() == name.size()
                && name.compare(QStringView(known), Qt::CaseInsensitive) == 0)
                return &rule;
        }
    }
    return nullptr;
}

// The rule's label, borrowing its storage.
QString LabelOf(const FieldRule& rule)
{
    const QStringView label(rule.Label);
    return QString::fromRawData(label.data(), label.size());
}

bool IsUrlWord(QStringView word)
{
    while (word.startsWith(u'('))
        word = word.mid(1);
    return word.startsWith(u"http://", Qt::CaseInsensitive) || word.startsWith(u"https://", Qt::CaseInsensitive);
}

// "clientTransferProhibited https://icann.org/epp#clientTransferProhibited", "client transfer prohibited" and
// "clientTransferProhibited" all name one EPP code; RDAP's "active" is EPP's "ok".
QString StatusKey(const QString& value)
{
    QString key;
    for (const QStringView word : QStringView(value).split(u' ', Qt::SkipEmptyParts)) {
        if (!IsUrlWord(word))
            key += word.toString().toLower();
    }
    return key == u"active" ? QStringLiteral("ok") : key;
}

QString WithoutAsPrefixes(const QString& value)
{
    static const QRegularExpression asPrefix(QStringLiteral("\\bAS(?=\\d)"), QRegularExpression::CaseInsensitiveOption);
    QString key = value;
    key.remove(asPrefix);
    key.remove(u' ');
    return key;
}

// ARIN writes "Google LLC (GOGL)" beside "OrgName: Google LLC", and rendered RDAP records the same with the handle.
QString OrganizationKey(const QString& value)
{
    static const QRegularExpression handle(QStringLiteral("\\s*\\([A-Z0-9][A-Z0-9._-]*\\)$"));
    QString key = value;
    key.remove(handle);
    return key;
}

QString NameServerKey(const QString& value)
{
    QStringList words = value.toLower().split(u' ', Qt::SkipEmptyParts);
    if (!words.isEmpty() && words.front().endsWith(u'.'))
        words.front().chop(1);
    return words.join(u' ');
}

enum class SectionKind : uint8_t { None, Report, Domain, Network };

struct Section
{
    SectionKind Kind = SectionKind::None;
    QString Subject;
};

// The title written inside a box line: "│  TITLE   │" without the side, padding and closing side.
QString BoxTitle(const QString& line)
{
    QString title = line.mid(1);
    if (title.endsWith(QChar(texts::kBoxSide)))
        title.chop(1);
    return title.trimmed();
}

Section SectionForTitle(const QString& title, bool header)
{
    static const QString domain = QString::fromLatin1(texts::kDomainDetailsTitle);
    static const QString network = QString::fromLatin1(texts::kNetworkDetailsTitle);
    if (header)
        return Section { SectionKind::Report, QString() };
    if (title.startsWith(domain))
        return Section { SectionKind::Domain, QString() };
    if (title.startsWith(network))
        return Section { SectionKind::Network, title.mid(network.size()).trimmed() };
    // Contact details and the changes section hold no field of their own.
    return Section();
}

Scope ScopeOf(const Section& section)
{
    switch (section.Kind) {
    case SectionKind::Report:
        return Scope::Both;
    case SectionKind::Domain:
        return Scope::Domain;
    case SectionKind::Network:
        return Scope::Network;
    case SectionKind::None:
        break;
    }
    return Scope::None;
}

// What `simple` (a value with its blanks simplified) means under `rule`; see FieldKey.
QString KeyOf(const FieldRule* rule, const QString& simple)
{
    switch (rule == nullptr ? Meaning::Text : rule->How) {
    case Meaning::Text:
        return simple;
    case Meaning::CaseFree:
        return simple.toLower();
    case Meaning::Date: {
        const std::optional<QDateTime> instant = ParseFieldDate(simple);
        // A text that is no date is compared as it is.
        return instant ? QString::number(instant->toMSecsSinceEpoch()) : simple;
    }
    case Meaning::Status:
        return StatusKey(simple);
    case Meaning::NameServer:
        return NameServerKey(simple);
    case Meaning::AsNumber:
        return WithoutAsPrefixes(simple).toLower();
    case Meaning::Organization:
        return OrganizationKey(simple);
    case Meaning::AddressBlock:
        return QString(simple).remove(u' ').toLower();
    }
    return simple;
}

class FieldReader
{
public:
    void Line(const QString& line)
    {
        const QStringView view(line);
        if (view.trimmed().isEmpty()) {
            m_block = nullptr; // an empty line ends a block of indented values
            return;
        }
        const QChar first = view.front();
        if (first == QChar(texts::kHeaderTopLeft) || first == QChar(texts::kSourceTopLeft)) {
            m_titleNext = true;
            m_headerBox = first == QChar(texts::kHeaderTopLeft);
            m_block = nullptr;
            return;
        }
        if (first == QChar(texts::kBoxSide)) {
            if (m_titleNext)
                m_section = SectionForTitle(BoxTitle(line), m_headerBox);
            m_titleNext = false;
            return;
        }
        if (first == QChar(texts::kHeaderBottomLeft) || first == QChar(texts::kSourceBottomLeft))
            return;
        LabelLine(view);
    }

    ReportFields Take() { return std::move(m_fields); }

private:
    // The values of one label and subject read so far, by meaning.
    struct Group
    {
        const FieldRule* Rule;
        QString Subject;
        QSet<QString> Keys;
    };

    static qsizetype Indent(QStringView line)
    {
        qsizetype indent = 0;
        while (indent < line.size() && line.at(indent).isSpace())
            ++indent;
        return indent;
    }

    void LabelLine(QStringView line)
    {
        const Scope scope = ScopeOf(m_section);
        if (scope == Scope::None)
            return;
        const QStringView text = line.trimmed();
        const qsizetype indent = Indent(line);
        if (m_block != nullptr) {
            if (indent > m_blockIndent) {
                BlockLine(text);
                return;
            }
            m_block = nullptr;
        }
        // Comments and volatile lines ("% Query time", ">>> Last update of WHOIS database <<<") carry no field.
        if (text.startsWith(u'%') || text.startsWith(u'#') || text.startsWith(u'>'))
            return;
        const qsizetype colon = text.indexOf(u':');
        if (colon <= 0)
            return;
        const FieldRule* rule = RuleForName(text.left(colon).trimmed(), scope);
        if (rule == nullptr)
            return;
        const QStringView value = text.mid(colon + 1);
        if (value.trimmed().isEmpty()) {
            // "Name servers:" with one server per indented line below, as several country registries write.
            if (rule->Block) {
                m_block = rule;
                m_blockIndent = indent;
                m_blockFirst = true;
            }
            return;
        }
        Add(*rule, value);
    }

    void BlockLine(QStringView text)
    {
        const bool first = std::exchange(m_blockFirst, false);
        if (m_block->How != Meaning::Text) {
            Add(*m_block, text);
            return;
        }
        // A registrar block: its "Name:" line, or a first line that is the name alone.
        const qsizetype colon = text.indexOf(u':');
        if (colon < 0 && first)
            Add(*m_block, text);
        else if (colon > 0 && text.left(colon).trimmed().compare(u"Name", Qt::CaseInsensitive) == 0)
            Add(*m_block, text.mid(colon + 1));
    }

    void Add(const FieldRule& found, QStringView text)
    {
        QString value = text.toString().simplified();
        if (value.isEmpty())
            return;
        if (value.size() > kMaxFieldValueChars)
            value.truncate(value.at(kMaxFieldValueChars - 1).isHighSurrogate() ? kMaxFieldValueChars - 1
                                                                               : kMaxFieldValueChars);
        const FieldRule* rule = &found;
        // LACNIC and others write the block in CIDR form under "inetnum:".
        static const FieldRule* const cidr = RuleForLabel(u"CIDR");
        if (QStringView(rule->Label) == u"NetRange" && value.contains(u'/') && !value.contains(u'-'))
            rule = cidr;
        const QString subject = m_section.Kind == SectionKind::Network ? m_section.Subject : QString();
        QSet<QString>& keys = GroupFor(rule, subject);
        if (keys.size() >= kMaxValuesPerField)
            return;
        const qsizetype before = keys.size();
        keys.insert(KeyOf(rule, value));
        if (keys.size() == before)
            return;
        m_fields.append(ReportField { LabelOf(*rule), subject, value });
    }

    QSet<QString>& GroupFor(const FieldRule* rule, const QString& subject)
    {
        // The group of the line before is the likeliest: look from the newest.
        for (auto group = m_groups.rbegin(); group != m_groups.rend(); ++group) {
            if (group->Rule == rule && group->Subject == subject)
                return group->Keys;
        }
        return m_groups.emplace_back(Group { rule, subject, {} }).Keys;
    }

    const FieldRule* m_block = nullptr;
    qsizetype m_blockIndent = 0;
    bool m_blockFirst = false;
    Section m_section;
    bool m_titleNext = false;
    bool m_headerBox = false;
    ReportFields m_fields;
    std::vector<Group> m_groups;
};

} // namespace

QString ReportField::DisplayLabel() const
{
    return Subject.isEmpty() ? Label : Label + QStringLiteral(" for ") + Subject;
}

ReportFields ExtractReportFields(const QStringList& lines)
{
    FieldReader reader;
    for (const QString& line : lines)
        reader.Line(line);
    return reader.Take();
}

std::optional<QDateTime> ParseFieldDate(const QString& text)
{
    // 2019-09-09T15:39:04Z, 2028-09-14T04:00:00.000+0000, 2015-06-12T10:38:52-0700, 2020-08-07 16:16:10 UTC,
    // 2014-05-22, 2020/03/31, and the older 22-may-2014.
    static const QRegularExpression numeric(QStringLiteral(
        "^(\\d{4})[-./](\\d{1,2})[-./](\\d{1,2})(?:[T ](\\d{1,2}):(\\d{2})(?::(\\d{2})(?:[.,](\\d+))?)?)?"
        "\\s*(Z|UTC|GMT|[+-]\\d{2}:?\\d{2})?(?:\\s*\\([^)]*\\))?$"));
    static const QRegularExpression named(QStringLiteral(
        "^(\\d{1,2})-([A-Za-z]{3})-(\\d{4})(?:[T ](\\d{1,2}):(\\d{2})(?::(\\d{2}))?)?\\s*(Z|UTC|GMT)?$"));
    static const char16_t* const months[]
        = { u"jan", u"feb", u"mar", u"apr", u"may", u"jun", u"jul", u"aug", u"sep", u"oct", u"nov", u"dec" };

    const QString trimmed = text.trimmed();
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millis = 0;
    int offsetSeconds = 0;
    if (const QRegularExpressionMatch m = numeric.match(trimmed); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
        hour = m.captured(4).toInt();
        minute = m.captured(5).toInt();
        second = m.captured(6).toInt();
        millis = m.captured(7).left(3).leftJustified(3, u'0').toInt();
        const QString zone = m.captured(8);
        if (zone.startsWith(u'+') || zone.startsWith(u'-')) {
            const QString digits = zone.mid(1).remove(u':');
            offsetSeconds = (digits.left(2).toInt() * 60 + digits.mid(2).toInt()) * 60;
            if (zone.startsWith(u'-'))
                offsetSeconds = -offsetSeconds;
        }
    } else if (const QRegularExpressionMatch n = named.match(trimmed); n.hasMatch()) {
        day = n.captured(1).toInt();
        const QString name = n.captured(2).toLower();
        for (int i = 0; i < 12; ++i) {
            if (name == QStringView(months[i]))
                month = i + 1;
        }
        year = n.captured(3).toInt();
        hour = n.captured(4).toInt();
        minute = n.captured(5).toInt();
        second = n.captured(6).toInt();
    } else {
        return std::nullopt;
    }
    if (offsetSeconds > 14 * 3600 || offsetSeconds < -14 * 3600)
        return std::nullopt;
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, millis);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, QTimeZone(offsetSeconds)).toUTC();
}

QString FieldKey(const QString& label, const QString& value)
{
    return KeyOf(RuleForLabel(label), value.simplified());
}

bool IsSetField(const QString& label)
{
    const FieldRule* rule = RuleForLabel(label);
    return rule != nullptr && (rule->How == Meaning::Status || rule->How == Meaning::NameServer);
}

QString FirstFieldValue(const ReportFields& fields, const QString& label)
{
    for (const ReportField& field : fields) {
        if (field.Subject.isEmpty() && field.Label == label)
            return field.Value;
    }
    return QString();
}

QString RegistrarOf(const ReportFields& fields)
{
    return FirstFieldValue(fields, QStringLiteral("Registrar"));
}

QString ExpiryOf(const ReportFields& fields)
{
    const QString registry = FirstFieldValue(fields, QStringLiteral("Registry Expiry Date"));
    return registry.isEmpty() ? FirstFieldValue(fields, QStringLiteral("Registrar Registration Expiration Date"))
                              : registry;
}

QByteArray FieldsToJson(const ReportFields& fields)
{
    // Written directly rather than through a document of Qt's: at every recording, that took as long as reading
    // the fields.
    QByteArray json;
    QBuffer out(&json);
    out.open(QIODevice::WriteOnly);
    JsonWriter writer(out);
    writer.Open('[');
    for (const ReportField& field : fields) {
        writer.Open('{');
        writer.Key("label");
        writer.String(field.Label);
        if (!field.Subject.isEmpty()) {
            writer.Key("subject");
            writer.String(field.Subject);
        }
        writer.Key("value");
        writer.String(field.Value);
        writer.Close('}');
    }
    writer.Close(']');
    writer.Finish();
    return json;
}

ReportFields FieldsFromJson(QByteArrayView json)
{
    ReportFields fields;
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray());
    for (const QJsonValue value : document.array()) {
        const QJsonObject object = value.toObject();
        const QString label = object.value(u"label").toString();
        const QString text = object.value(u"value").toString();
        if (!label.isEmpty() && !text.isEmpty())
            fields.append(ReportField { label, object.value(u"subject").toString(), text });
    }
    return fields;
}

} // namespace vesk
