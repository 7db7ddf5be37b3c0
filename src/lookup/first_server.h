/// The first server of a search: where a query will be sent first, known before the search runs.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace vesk {

class DefinitionTables;

/// The lower-cased host that the search for `query` asks first: ARIN for an address, the TLD's server for a
/// domain, the .com/.net registry for a plain query. Empty for a domain whose TLD has no server. A batch uses it
/// to start searches at different hosts side by side.
QByteArray FirstServerFor(const DefinitionTables& definitions, QByteArrayView query);

} // namespace vesk
