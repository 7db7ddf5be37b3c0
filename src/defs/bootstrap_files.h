/// The RDAP bootstrap files beside the definition files: which copy the program loads.
#pragma once

#include "rdap/bootstrap_registry.h"
#include "settings/data_locations.h"

#include <QByteArrayView>
#include <QDateTime>
#include <optional>

namespace vesk {

/// The file names of the domain and the IPv4 bootstrap registries, as IANA publishes them.
inline constexpr char kDomainBootstrapFile[] = "dns.json";
inline constexpr char kAddressBootstrapFile[] = "ipv4.json";
/// The IPv6 bootstrap registry.
inline constexpr char kIPv6BootstrapFile[] = "ipv6.json";
/// The AS number bootstrap registry.
inline constexpr char kAsnBootstrapFile[] = "asn.json";

/// The largest bootstrap file that is read; IANA's files are a few hundred KiB.
inline constexpr qint64 kMaxBootstrapFile = qint64 { 16 } * 1024 * 1024;

/// The "publication" time of a bootstrap file's JSON as a UTC date and time (RFC 3339, as IANA writes it, with
/// or without fractional seconds and with "Z" or an offset); nullopt when it has none or it is no valid time.
std::optional<QDateTime> BootstrapPublication(QByteArrayView json);

/// The registries as the program uses them. For each file the copy a refresh installed in the user's data
/// folder is taken when it is valid and its publication time is later than the shipped copy's; otherwise the
/// shipped copy (in portable use both are the same file).
RdapBootstrap LoadRdapBootstrap(const DataLocations& locations);

} // namespace vesk
