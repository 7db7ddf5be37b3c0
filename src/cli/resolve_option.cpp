#include "cli/resolve_option.h"

#include "whois/ip_address.h"

#include <QStringList>
#include <algorithm>

namespace vesk {

namespace {

bool IsHostCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'-' || c == u'_'
        || c == u'.';
}

bool AllDigits(const QString& text, qsizetype maxDigits)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

std::optional<quint16> ParsePort(const QString& text)
{
    if (!AllDigits(text, 5))
        return std::nullopt;
    const int value = text.toInt();
    if (value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<quint16>(value);
}

} // namespace

std::optional<ResolveEntry> ParseResolveEntry(const QString& text, QString& error)
{
    const auto fail = [&error, &text](const QString& why) {
        error = QStringLiteral("--resolve %1: %2 (expected HOST:PORT:ADDRESS[:PORT2]).").arg(text, why);
        return std::nullopt;
    };
    // An IPv6 address holds colons of its own, so it stands in brackets and counts as one field.
    QStringList fields;
    QString bracketed;
    const qsizetype open = text.indexOf(u'[');
    if (open >= 0) {
        const qsizetype close = text.indexOf(u']', open);
        if (close < 0)
            return fail(QStringLiteral("the '[' of an IPv6 address has no ']'"));
        const QString before = text.first(open);
        const QString after = text.sliced(close + 1);
        if (!before.endsWith(u':') || (!after.isEmpty() && !after.startsWith(u':')) || after.contains(u'['))
            return fail(QStringLiteral("an address in brackets must be the third field"));
        bracketed = text.sliced(open + 1, close - open - 1);
        fields = before.chopped(1).split(u':');
        const QStringList tail = after.isEmpty() ? QStringList() : after.sliced(1).split(u':');
        if (fields.size() != 2 || tail.size() > 1)
            return fail(QStringLiteral("it needs three or four fields separated by ':'"));
        fields.append(QString());
        fields.append(tail);
    } else {
        fields = text.split(u':');
        if (fields.size() > 4 && ParseIPv6(text.section(u':', 2).toLatin1()))
            return fail(QStringLiteral("it needs three or four fields separated by ':', so an IPv6 address goes in "
                                       "brackets: [%1]")
                            .arg(text.section(u':', 2)));
        if (fields.size() < 3 || fields.size() > 4)
            return fail(QStringLiteral("it needs three or four fields separated by ':'"));
    }
    const QString& host = fields[0];
    if (host.isEmpty() || !std::all_of(host.cbegin(), host.cend(), &IsHostCharacter))
        return fail(QStringLiteral("\"%1\" is not a host name").arg(host));
    const std::optional<quint16> port = ParsePort(fields[1]);
    if (!port)
        return fail(QStringLiteral("\"%1\" is not a port from 1 to 65535").arg(fields[1]));
    QHostAddress target;
    if (open >= 0) {
        const std::optional<IPv6Bytes> address6 = ParseIPv6(bracketed.toLatin1());
        if (!address6)
            return fail(QStringLiteral("\"[%1]\" is not an IPv6 address").arg(bracketed));
        target = QHostAddress(address6->data());
    } else {
        // Strict: the C library's shorthands ("127.1", hex) are refused, so what the user wrote is what is reached.
        const int64_t address = ParseIPv4(fields[2].toLatin1(), IPv4Form::Strict);
        if (address < 0)
            return fail(QStringLiteral("\"%1\" is not an IPv4 address").arg(fields[2]));
        target = QHostAddress(static_cast<quint32>(address));
    }
    std::optional<quint16> targetPort = port;
    if (fields.size() == 4) {
        targetPort = ParsePort(fields[3]);
        if (!targetPort)
            return fail(QStringLiteral("\"%1\" is not a port from 1 to 65535").arg(fields[3]));
    }
    return ResolveEntry { host.toLatin1(), *port, ServerEndpoint { target, *targetPort } };
}

RdapRouter RdapRoutesOf(const AddressBook& book)
{
    return [&book](const QByteArray& host, int port) { return book.FindServer(host, port); };
}

} // namespace vesk
