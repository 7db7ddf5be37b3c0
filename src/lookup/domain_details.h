/// Domain details: the registration record of a domain from its TLD's server, the registrar or RDAP.
#pragma once

#include "lookup/domain_record.h"

#include <QByteArray>

namespace vesk {

class DefinitionTables;
class RdapDetails;
class ServerAsker;
struct SearchOptions;

/// Asks the domain's WHOIS server and writes the record or the no-match line: for the .com/.net registry it
/// follows "Whois Server:" to the registrar; for an RWhois reply it fetches the Admin, Tech and Billing contacts.
/// RDAP is asked first, or where port 43 has no server or no answer, as the options say.
class DomainDetails
{
public:
    /// Borrowed.
    DomainDetails(ServerAsker& asker, RdapDetails& rdap, const DefinitionTables& definitions,
                  const SearchOptions& options);

    /// Writes the details of `domain` (ASCII form) whose TLD's port-43 server is `server`. Gives what it wrote;
    /// nothing for an empty `server` without RDAP.
    DomainRecord Lookup(const QByteArray& domain, const QByteArray& server);

private:
    /// The RWhois contacts named by handle in `reply`, fetched from `host`.
    void WriteRWhoisContacts(const QByteArray& host, const QByteArray& reply);

    ServerAsker& m_asker;
    RdapDetails& m_rdap;
    const DefinitionTables& m_definitions;
    const SearchOptions& m_options;
};

} // namespace vesk
