/// The server endpoint: where one exchange really goes, for port 43 and RDAP alike.
#pragma once

#include <QHostAddress>

namespace vesk {

/// An address and a TCP port: the target of a route (vesk-query --resolve, the tests' loopback fakes) or the
/// address a checked host name resolved to.
struct ServerEndpoint
{
    QHostAddress Address;
    quint16 Port = 0;
};

} // namespace vesk
