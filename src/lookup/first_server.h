/// The first server of a search: where a query will be sent first, known before the search runs.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace vesk {

class DefinitionTables;

/// The lower-cased port-43 host that the search for `query` asks first, by the search's own dispatch: ARIN for an
/// address, the TLD's server for a domain (a TLD typed in its own script included), the .com/.net registry for a
/// plain query. Empty when no port-43 server is asked first: a TLD without a server, a name without an ASCII
/// form, a query too long to search. A batch uses it to start searches at different hosts side by side.
QByteArray FirstServerFor(const DefinitionTables& definitions, QByteArrayView query);

} // namespace vesk
