#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace vesk::test {

/// One WHOIS exchange on a bare QTcpSocket with nothing around it: connect to 127.0.0.1:`port`, send `line`,
/// read to the close. The floor that the benchmarks hold the transport and the engine against.
QByteArray BareSocketExchange(quint16 port, const QByteArray& line);

} // namespace vesk::test
