#include "rdap/network_text.h"

#include "rdap/rdap_entities.h"
#include "rdap/text_lines.h"
#include "whois/ip_address.h"

#include <QJsonArray>

namespace vesk {

namespace {

constexpr qsizetype kLabelWidth = 16;

void AddAligned(TextLines& lines, QStringView label, const QString& value)
{
    if (!value.isEmpty())
        lines.AddPrefixed(label.toString().leftJustified(kLabelWidth, u' '), value);
}

// "v4prefix"/"v6prefix" and "length" of each cidr0 entry.
QString Cidr0Blocks(const QJsonObject& network)
{
    QStringList blocks;
    for (const QJsonValue value : network.value(u"cidr0_cidrs").toArray()) {
        const QJsonObject cidr = value.toObject();
        QString prefix = TextMember(cidr.value(u"v4prefix")).trimmed();
        if (prefix.isEmpty())
            prefix = TextMember(cidr.value(u"v6prefix")).trimmed();
        const QString length = TextMember(cidr.value(u"length")).trimmed();
        if (!prefix.isEmpty() && !length.isEmpty())
            blocks.append(prefix + u'/' + length);
        if (blocks.size() >= 64)
            break; // a range needs at most 62 blocks; more is noise
    }
    return blocks.join(u", ");
}

} // namespace

QByteArray RangeToCidr(QByteArrayView start, QByteArrayView end)
{
    const int64_t first = ParseIPv4(start, IPv4Form::Strict);
    const int64_t last = ParseIPv4(end, IPv4Form::Strict);
    if (first < 0 || last < 0 || first > last)
        return QByteArray();
    QStringList blocks;
    auto at = static_cast<uint64_t>(first);
    while (at <= static_cast<uint64_t>(last)) {
        // The largest block that starts at `at` and stays within the range.
        int length = 32;
        while (length > 0) {
            const uint64_t size = uint64_t(1) << (33 - length);
            if ((at & (size - 1)) != 0 || at + size - 1 > static_cast<uint64_t>(last))
                break;
            --length;
        }
        blocks.append(QString::fromLatin1(AddressText(static_cast<uint32_t>(at))) + u'/' + QString::number(length));
        at += uint64_t(1) << (32 - length);
    }
    return blocks.join(u", ").toLatin1();
}

QByteArray RenderNetworkRecord(const RdapAnswer& answer, bool filterComments)
{
    if (answer.Kind != RdapAnswerKind::IpNetwork)
        return QByteArray();
    const QJsonObject& network = answer.Object;
    TextLines lines;

    const QString start = TextMember(network.value(u"startAddress")).trimmed();
    const QString end = TextMember(network.value(u"endAddress")).trimmed();
    if (!start.isEmpty() && !end.isEmpty())
        AddAligned(lines, u"NetRange:", start + QStringLiteral(" - ") + end);
    QString cidr = Cidr0Blocks(network);
    if (cidr.isEmpty())
        cidr = QString::fromLatin1(RangeToCidr(start.toLatin1(), end.toLatin1()));
    AddAligned(lines, u"CIDR:", cidr);
    AddAligned(lines, u"NetName:", TextMember(network.value(u"name")).trimmed());
    AddAligned(lines, u"NetHandle:", TextMember(network.value(u"handle")).trimmed());

    const QJsonObject registrant = FindDirectEntity(network, u"registrant");
    const QString name = ReadVCard(registrant).Name;
    const QString handle = TextMember(registrant.value(u"handle")).trimmed();
    AddAligned(lines, u"Organization:",
               name.isEmpty() || handle.isEmpty() ? name + handle : name + QStringLiteral(" (") + handle + u')');
    AddAligned(lines, u"Country:", TextMember(network.value(u"country")).trimmed());
    AddAligned(lines, u"OrgAbuseEmail:", ReadVCard(FindEntity(network, u"abuse")).Email);

    if (!filterComments)
        AddNoticesAndRemarks(lines, network);
    return lines.Text();
}

QByteArray RenderAutnumRecord(const RdapAnswer& answer, bool filterComments)
{
    if (answer.Kind != RdapAnswerKind::OtherObject
        || answer.Object.value(u"objectClassName").toString().compare(u"autnum", Qt::CaseInsensitive) != 0)
        return QByteArray();
    const QJsonObject& autnum = answer.Object;
    TextLines lines;

    const QString start = TextMember(autnum.value(u"startAutnum")).trimmed();
    const QString end = TextMember(autnum.value(u"endAutnum")).trimmed();
    // One number as ARIN writes it; a range as "first - last"; whichever end is given when only one is.
    const bool range = !start.isEmpty() && !end.isEmpty() && start != end;
    AddAligned(lines, u"ASNumber:", range ? start + QStringLiteral(" - ") + end : start.isEmpty() ? end : start);
    AddAligned(lines, u"ASName:", TextMember(autnum.value(u"name")).trimmed());
    AddAligned(lines, u"ASHandle:", TextMember(autnum.value(u"handle")).trimmed());
    const QJsonObject registrant = FindDirectEntity(autnum, u"registrant");
    AddAligned(lines, u"OrgName:", ReadVCard(registrant).Name);
    AddAligned(lines, u"OrgId:", TextMember(registrant.value(u"handle")).trimmed());
    AddAligned(lines, u"Country:", TextMember(autnum.value(u"country")).trimmed());
    AddAligned(lines, u"OrgAbuseEmail:", ReadVCard(FindEntity(autnum, u"abuse")).Email);

    if (!filterComments)
        AddNoticesAndRemarks(lines, autnum);
    return lines.Text();
}

} // namespace vesk
