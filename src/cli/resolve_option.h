#pragma once

#include "rdap/rdap_client.h"
#include "whois/address_book.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace vesk {

/// One --resolve value: exchanges with Host on Port go to Target instead.
struct ResolveEntry
{
    QByteArray Host;
    int Port = 0;
    ServerEndpoint Target;
};

/// Parses HOST:PORT:ADDRESS[:PORT2] as vesk-query's --resolve takes it: HOST a host name (letters, digits, '-',
/// '_', '.'), PORT and PORT2 decimal 1 to 65535, ADDRESS a dotted IPv4 address of four decimal parts or an IPv6
/// address in brackets ("[2001:db8::1]", any of its textual forms, no zone index). Without PORT2 the port stays
/// PORT. On a syntax error gives nullopt and sets `error` to a sentence naming the fault.
std::optional<ResolveEntry> ParseResolveEntry(const QString& text, QString& error);

/// Routes RDAP hosts by the routes in `book` (borrowed), so --resolve reaches them as it reaches port 43.
RdapRouter RdapRoutesOf(const AddressBook& book);

} // namespace vesk
