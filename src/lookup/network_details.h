/// Network details: who holds the network of an IPv4 or IPv6 address, starting at ARIN.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace vesk {

class DefinitionTables;
class RdapDetails;
class ServerAsker;
struct SearchOptions;
struct ServerAnswer;

/// Writes what the registries say about the network of one address: ARIN's WHOIS record (by handle when ARIN
/// lists several networks), then one WHOIS referral, or ARIN's RWhois server and one RWhois referral. When ARIN
/// does not answer at all, the RDAP server the address bootstrap names stands in.
class NetworkDetails
{
public:
    /// Borrowed.
    NetworkDetails(ServerAsker& asker, RdapDetails& rdap, const DefinitionTables& definitions,
                   const SearchOptions& options);

    /// Writes the network details of `address` and gives ARIN's address block (CIDR text) or the empty text. With
    /// `prefix` ("192.0.2.0/24", `address` its first address) the details are those of that prefix: ARIN is asked
    /// for the address (its records are found by address), the registry ARIN refers to and RDAP for the prefix,
    /// and the sections name the prefix. Every server asked that gives no answer is named with its reason.
    QByteArray Lookup(const QByteArray& address, const QByteArray& prefix = QByteArray());

private:
    QByteArray Ask(const QByteArray& address, const QByteArray& prefix);
    void WriteSection(const QByteArray& address, const QByteArray& host, QByteArrayView reply,
                      const ServerAnswer& from);

    ServerAsker& m_asker;
    RdapDetails& m_rdap;
    const DefinitionTables& m_definitions;
    const SearchOptions& m_options;
};

} // namespace vesk
