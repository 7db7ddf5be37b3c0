#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <array>
#include <cstdint>

// The RDAP bootstrap registries in IANA's format (RFC 9224): which RDAP server answers for a top-level domain, an
// IPv4 or IPv6 block or an AS number. Pure functions over the file's bytes; a file that is not such a registry gives an
// empty one, never an error. A service's base URLs are its https URLs in the order listed, or its http URLs when it
// lists no https one, each ending in '/'; the first is the one to ask, the others stand in when it fails.

namespace vesk {

/// A downloaded domain registry is installed only when it maps at least this many TLDs.
constexpr qsizetype kMinBootstrapDomains = 1000;
/// A downloaded IPv4 registry is installed only when it maps at least this many blocks.
constexpr qsizetype kMinBootstrapBlocks = 100;
/// A downloaded IPv6 registry is installed only when it maps at least this many blocks (IANA's lists about 35).
constexpr qsizetype kMinBootstrapIPv6Blocks = 20;
/// A downloaded AS number registry is installed only when it maps at least this many ranges (IANA's lists about 150).
constexpr qsizetype kMinBootstrapAsnRanges = 50;

/// Domain registry: lower-cased entry (a TLD, or several labels with dots) -> base URL.
struct DomainBootstrap
{
    QHash<QByteArray, QByteArray> BaseUrls;
    QHash<QByteArray, QList<QByteArray>> MoreUrls; ///< an entry's further base URLs, in failover order
};

/// One IPv4 block of the address registry.
struct AddressBlock
{
    uint32_t Network = 0; ///< host bits cleared
    int PrefixLength = 0;
    QByteArray BaseUrl;
    QList<QByteArray> MoreUrls = {}; ///< further base URLs, in failover order
};

/// Address registry: blocks ordered longest prefix first, so the first block that holds an address is the match.
struct AddressBootstrap
{
    QList<AddressBlock> Blocks;
};

/// One block of the IPv6 address registry.
struct IPv6Block
{
    std::array<uint8_t, 16> Network {}; ///< host bits cleared
    int PrefixLength = 0;
    QByteArray BaseUrl;
    QList<QByteArray> MoreUrls = {}; ///< further base URLs, in failover order
};

/// IPv6 address registry: blocks ordered longest prefix first.
struct IPv6Bootstrap
{
    QList<IPv6Block> Blocks;
};

/// One range of AS numbers of the AS number registry.
struct AsnRange
{
    uint32_t First = 0;
    uint32_t Last = 0;
    QByteArray BaseUrl;
    QList<QByteArray> MoreUrls = {}; ///< further base URLs, in failover order
};

/// AS number registry: ranges in the order listed; the first one that holds a number is the match.
struct AsnBootstrap
{
    QList<AsnRange> Ranges;
};

/// The bootstrap registries, as loaded with the definition files.
struct RdapBootstrap
{
    DomainBootstrap Domains;
    AddressBootstrap Addresses;
    IPv6Bootstrap Addresses6;
    AsnBootstrap Asns;
};

/// Reads dns.json. Entries that are not strings, services without an http(s) URL and later repeats of an entry are
/// skipped; bad JSON or a file without a "services" array gives the empty registry.
DomainBootstrap ParseDomainBootstrap(QByteArrayView json);
/// Reads ipv4.json the same way; a block that is not "a.b.c.d/n" with n from 0 to 32 is skipped.
AddressBootstrap ParseAddressBootstrap(QByteArrayView json);
/// Reads ipv6.json the same way; a block that is not an IPv6 address, '/' and n from 0 to 128 is skipped.
IPv6Bootstrap ParseIPv6Bootstrap(QByteArrayView json);
/// Reads asn.json the same way; an entry that is not "n" or "first-last" (decimal, 32-bit, first <= last) is skipped.
AsnBootstrap ParseAsnBootstrap(QByteArrayView json);

/// The base URL for `domain` (trailing dot allowed, any case): the longest entry that equals the domain's last
/// labels; empty when none does.
QByteArray FindDomainBaseUrl(const DomainBootstrap& registry, QByteArrayView domain);
/// The entry's base URL first, then its further ones; empty when no entry matches.
QList<QByteArray> FindDomainBaseUrls(const DomainBootstrap& registry, QByteArrayView domain);
/// The same for the block that holds `address`.
QList<QByteArray> FindAddressBaseUrls(const AddressBootstrap& registry, QByteArrayView address);
/// The base URL of the longest block holding the dotted IPv4 `address`; empty when none does or the text is no
/// address.
QByteArray FindAddressBaseUrl(const AddressBootstrap& registry, QByteArrayView address);

/// The base URLs of the longest block holding the IPv6 `address` (any text form), in failover order; empty when
/// none does or the text is no IPv6 address.
QList<QByteArray> FindIPv6BaseUrls(const IPv6Bootstrap& registry, QByteArrayView address);

/// The base URLs of the first range holding the AS number `number`, in failover order; empty when none does.
QList<QByteArray> FindAsnBaseUrls(const AsnBootstrap& registry, uint32_t number);

/// The validity rule for installing a download: at least kMinBootstrapDomains entries.
bool IsInstallable(const DomainBootstrap& registry);
/// At least kMinBootstrapBlocks blocks.
bool IsInstallable(const AddressBootstrap& registry);
/// At least kMinBootstrapIPv6Blocks blocks.
bool IsInstallable(const IPv6Bootstrap& registry);
/// At least kMinBootstrapAsnRanges ranges.
bool IsInstallable(const AsnBootstrap& registry);

} // namespace vesk
