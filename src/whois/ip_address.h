/// IP addresses: the one parser of address texts, CIDR blocks and the set of reported networks.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <array>
#include <cstdint>
#include <optional>

// Address text in every form the program meets it: a typed query, a value inside a reply, an address the user
// gives to connect to, an entry of a bootstrap registry. Pure functions; a text that is no address gives -1,
// never an error.

namespace vesk {

/// How much of a text around the address ParseIPv4 forgives. In every form the address is four dot-separated
/// decimal numbers, each from 0 to 255.
enum class IPv4Form : uint8_t {
    /// Nothing else: each number has one to three digits, no blanks, no signs. What the user names as a place to
    /// connect to and what the bootstrap registries hold; the C library's shorthands ("127.1", hex) are refused,
    /// so what was written is what is connected to.
    Strict,
    /// A query as typed: blanks anywhere are ignored, the first three numbers have one to three digits, the
    /// fourth any number of them (leading zeros).
    Typed,
    /// A value inside a reply: everything but digits and dots is dropped first, then one leading and one
    /// trailing dot (so "host 10.1.2.3 (x)" gives 10.1.2.3); numbers of any length (leading zeros).
    Lenient,
};

/// The address as a number 0 to 4,294,967,295 (first octet most significant), or -1 when `text` is not an
/// IPv4 address in `form`. Any length of text is accepted.
int64_t ParseIPv4(QByteArrayView text, IPv4Form form = IPv4Form::Lenient);

/// The sixteen bytes of an IPv6 address, most significant first.
using IPv6Bytes = std::array<uint8_t, 16>;

/// An IPv6 address in any of its textual forms: eight groups of one to four hex digits in either case, one "::"
/// standing for one or more zero groups, the last 32 bits as a dotted IPv4 address. Nothing else: no blanks, no
/// zone index ("%eth0"), no brackets. nullopt when `text` is none of these.
std::optional<IPv6Bytes> ParseIPv6(QByteArrayView text);

/// The canonical text of an IPv6 address: lower case, no leading zeros, the longest run of two or more zero
/// groups (the first of equal runs) as "::", and an IPv4-mapped address with its dotted tail.
QByteArray IPv6Text(const IPv6Bytes& address);

/// Digits and dots only, then one leading and one trailing dot removed.
QByteArray CleanAddress(QByteArrayView text);
/// Digits only.
QByteArray DigitsOnly(QByteArrayView text);

/// An inclusive range of IPv4 addresses as numbers (first octet most significant).
struct TIPRange
{
    int64_t First = 0;
    int64_t Last = 0;
};

using TNetRanges = QList<TIPRange>;

/// "address/prefix" or "address" as a range; an unusable prefix is taken as 32; First is -1 for a bad address.
TIPRange ParseCidr(QByteArrayView text);

/// The dotted-decimal text of an address given as a number (first octet most significant).
QByteArray AddressText(uint32_t address);

/// An inclusive range of IPv6 addresses; byte arrays compare as the numbers they stand for.
struct TIPv6Range
{
    IPv6Bytes First {};
    IPv6Bytes Last {};
};

/// "address/prefix" or "address" for IPv6 as the range of that prefix (the address's bits past the prefix do not
/// count); a prefix that is not 0 to 128 is taken as 128, as ParseCidr takes it as 32; nullopt for a bad address.
std::optional<TIPv6Range> ParseCidr6(QByteArrayView text);

/// The address blocks that one domain report has already covered, IPv4 and IPv6 apart. Never merged or sorted.
class TNetworkRange
{
public:
    /// Adds the range of `text`: an IPv6 block (a text with a ':') unless its address does not parse, an IPv4
    /// block unless both ends are 0 or less. Returns the new count of ranges of that family, or 0 when nothing
    /// was added.
    int AddCidr(QByteArrayView text);
    /// Appends a copy of `range`; returns the new count.
    int Add(const TIPRange& range);
    /// True when `address` parses and lies in one of the ranges of its family (IPv6 when it holds a ':').
    bool Contains(QByteArrayView address) const;
    const TNetRanges& Ranges() const { return m_ranges; }
    const QList<TIPv6Range>& Ranges6() const { return m_ranges6; }

private:
    TNetRanges m_ranges;
    QList<TIPv6Range> m_ranges6;
};

} // namespace vesk
