/// Contact search: the records of the contacts a domain record names by handle.
#pragma once

namespace vesk {

class DefinitionTables;
class ServerAsker;
struct DomainRecord;
struct SearchOptions;

/// With "Search Contacts" on, asks the server that gave a domain record for each distinct contact handle the
/// record names (and does not itself hold) and writes each answer under its labels.
class ContactSearch
{
public:
    /// Borrowed.
    ContactSearch(ServerAsker& asker, const DefinitionTables& definitions, const SearchOptions& options);

    /// Writes the contacts of `record`; nothing when the option is off or the record came from no port-43 server.
    void Search(const DomainRecord& record);

private:
    ServerAsker& m_asker;
    const DefinitionTables& m_definitions;
    const SearchOptions& m_options;
};

} // namespace vesk
