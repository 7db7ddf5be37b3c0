/// Plain query: any other query, sent unchanged to the .com/.net registry's server.
#pragma once

#include <QByteArray>

namespace vesk {

class ServerAsker;
struct SearchOptions;

/// Sends a query that is neither an address nor under a known TLD to the .com/.net registry's server and writes
/// its reply under a header, as the server gave it.
class PlainQuery
{
public:
    /// Borrowed.
    PlainQuery(ServerAsker& asker, const SearchOptions& options);

    /// Writes the report for `query` (the query box text, sent unchanged).
    void Write(const QByteArray& query);

private:
    ServerAsker& m_asker;
    const SearchOptions& m_options;
};

} // namespace vesk
