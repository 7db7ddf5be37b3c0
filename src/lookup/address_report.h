/// Address report: an IPv4 or IPv6 address's (or prefix's) domain name and network under one header.
#pragma once

#include <QByteArray>
#include <functional>

namespace vesk {

class NetworkDetails;
class ServerAsker;
struct SearchOptions;

/// The report for an IPv4 or IPv6 address: header box, the domain name the resolver gives for it (with "Incl Domain"
/// on), and the network details of the registry that holds it.
class AddressReport
{
public:
    /// Borrowed.
    AddressReport(ServerAsker& asker, NetworkDetails& network, const SearchOptions& options);

    /// Writes the report for the address `query` as the query box holds it (leading zeros and inner blanks
    /// included; the header shows it so, servers get the plain dotted form).
    void Write(const QByteArray& query);
    /// Writes the report for the IPv6 address `query` (its canonical text).
    void WriteIPv6(const QByteArray& query);
    /// Writes the report for the IPv4 or IPv6 prefix `query` ("192.0.2.0/24", as the dispatch gives it): the
    /// network details of that prefix, without a reverse name.
    void WriteNetwork(const QByteArray& query);

private:
    /// The reverse name line (with "Incl Domain" on) and the network details of `address`, then the end.
    void WriteBody(const QByteArray& address, const std::function<QByteArray()>& reverseName);
    /// The blank line and the status that end every address report.
    void WriteEnd();

    ServerAsker& m_asker;
    NetworkDetails& m_network;
    const SearchOptions& m_options;
};

} // namespace vesk
