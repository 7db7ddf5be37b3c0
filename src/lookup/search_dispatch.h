/// Search dispatch: what kind of query a text is, which report runs for it and where that report starts.
#pragma once

#include "defs/definition_tables.h"

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <optional>

namespace vesk {

/// What a search takes its query for.
enum class QueryKind : uint8_t {
    Domain,
    Address,
    Plain,
    IPv6,
    Asn, ///< an AS number ("AS15169")
    Cidr, ///< an IPv4 or IPv6 prefix ("192.0.2.0/24"): the network of that prefix
};

/// The report a query goes to, and the query box text that report reads.
struct DispatchedQuery
{
    QueryKind Kind = QueryKind::Plain;
    /// The trimmed query; for a domain without a www label standing third or fourth from the right; for an IPv6
    /// address its canonical text; for an AS number "AS" and the number; for a prefix its network (host bits
    /// cleared) and length, an IPv6 one in canonical text.
    QByteArray Query;
};

/// The query box text as a search reads it: trimmed, with the full stops of East Asian input methods as '.'.
QByteArray SearchText(QByteArrayView typed);

/// True when the last label of `text` is a top-level domain of the definitions, also when it is typed in its
/// own script and the tables hold its A-label.
bool HasKnownTld(const DefinitionTables& definitions, QByteArrayView text);

/// An AS number as typed: "AS" in any case, blanks allowed before the number, a decimal number that fits 32 bits
/// (leading zeros allowed). nullopt for anything else, a bare number included.
std::optional<uint32_t> ParseAsNumberQuery(QByteArrayView text);

/// An IPv4 or IPv6 prefix "address/length" (IPv4 dotted strictly, length 0-32 or 0-128) as its network: host bits
/// cleared, IPv6 in canonical text ("2001:db8::/32"). nullopt for anything else.
std::optional<QByteArray> ParseCidrQuery(QByteArrayView text);

/// Classifies the trimmed query `query`: an IPv4 or IPv6 address, an IPv4 or IPv6 prefix, an AS number, a domain
/// name under a known TLD (normalised), or anything else. Throws QueryTooLongError for a query of more than 255
/// characters.
DispatchedQuery DispatchQuery(const DefinitionTables& definitions, QByteArrayView query);

/// A domain report's domain: as typed, its ASCII form for the wire, and its TLD's row.
struct DomainTarget
{
    QByteArray Typed; ///< name and TLD as the query box holds them (trimmed)
    bool Convertible = false; ///< false: the name has no ASCII form and nothing may be asked for it
    QByteArray AceError; ///< why it has none (the rule it breaks)
    QByteArray Domain; ///< the ASCII form (A-labels), or Typed when it has none
    TTLDData Tld; ///< the TLD's row, found by its A-label when typed in its own script
};

/// The domain of a domain query's box text.
DomainTarget DomainTargetFor(const DefinitionTables& definitions, QByteArrayView query);

} // namespace vesk
