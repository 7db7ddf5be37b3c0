/// AS number report: who holds an autonomous system number, from the regional registry that holds it.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>

namespace vesk {

class DefinitionTables;
class RdapDetails;
class ServerAsker;
struct SearchOptions;

/// The port-43 server of the regional registry whose RDAP base URL is `baseUrl` (ARIN, RIPE NCC, APNIC, LACNIC,
/// AFRINIC, matched by the URL's host); empty for any other server.
QByteArray RegistryWhoisHost(QByteArrayView baseUrl);

/// The line that asks `host` for AS number `number`: ARIN's own "a N" (a bare number is a search of every kind
/// there), "ASN" for the RIPE-style databases and LACNIC.
QByteArray AsQueryLine(QByteArrayView host, uint32_t number);

/// The report for an AS number: header box, then the record of the registry that the AS number bootstrap names
/// for it, asked on port 43 (following one "ReferralServer:") or over RDAP as the RDAP mode says, under one
/// "AS DETAILS" section per server that answered. Every server that gave no answer is named with its reason.
class AsReport
{
public:
    /// Borrowed.
    AsReport(ServerAsker& asker, RdapDetails& rdap, const DefinitionTables& definitions, const SearchOptions& options);

    /// Writes the report for the query box text `query` ("AS15169").
    void Write(const QByteArray& query);

private:
    /// The details of `number`, named `name` ("AS15169") in the section titles.
    void Details(uint32_t number, const QByteArray& name);

    ServerAsker& m_asker;
    RdapDetails& m_rdap;
    const DefinitionTables& m_definitions;
    const SearchOptions& m_options;
};

} // namespace vesk
