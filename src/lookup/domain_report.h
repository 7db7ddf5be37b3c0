/// Domain report: everything about one domain name under one header.
#pragma once

#include <QByteArray>

namespace vesk {

class ContactSearch;
class DefinitionTables;
class DomainDetails;
class NetworkDetails;
class ServerAsker;
struct SearchOptions;

/// The full report for a domain name: header box, the TLD's purpose, the domain's addresses (IPv4, then IPv6), its
/// registration record, the network of each distinct network its addresses lie in, and its contacts.
class DomainReport
{
public:
    /// Borrowed.
    DomainReport(ServerAsker& asker, DomainDetails& details, NetworkDetails& network, ContactSearch& contacts,
                 const DefinitionTables& definitions, const SearchOptions& options);

    /// Writes the report for the domain name `query` (the normalised query box text). Ends with "Done" in the
    /// status line however it ends.
    void Write(const QByteArray& query);

private:
    ServerAsker& m_asker;
    DomainDetails& m_details;
    NetworkDetails& m_network;
    ContactSearch& m_contacts;
    const DefinitionTables& m_definitions;
    const SearchOptions& m_options;
};

} // namespace vesk
