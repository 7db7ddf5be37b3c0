/// IPv4 addresses: dotted text, CIDR blocks and the set of reported networks.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <cstdint>

// IPv4 address text: the dotted-address test of a query, address and block parsing of reply values, the
// dotted text of a resolved address, and the set of blocks a report has covered. Pure functions; a text that
// is no address gives false or -1, never an error.

namespace vesk {

/// True for a dotted IPv4 address: blanks anywhere are ignored, the first three numbers have one to three
/// digits, the fourth any number, each at most 255, leading zeros allowed. Any length of text is accepted.
bool IsDottedIPv4(QByteArrayView text);

/// Digits and dots only, then one leading and one trailing dot removed.
QByteArray CleanAddress(QByteArrayView text);
/// Digits only.
QByteArray DigitsOnly(QByteArrayView text);

/// The address as a number 0 to 4,294,967,295, or -1 when `text` is not a dotted IPv4 address.
/// Characters other than digits and dots are ignored first (so "host 10.1.2.3 (x)" gives 10.1.2.3).
int64_t ParseIPv4(QByteArrayView text);

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

/// The address blocks that one domain report has already covered. Never merged or sorted.
class TNetworkRange
{
public:
    /// Adds the range of `text` unless both ends are 0 or less; returns the new count, or 0 when nothing was added.
    int AddCidr(QByteArrayView text);
    /// Appends a copy of `range`; returns the new count.
    int Add(const TIPRange& range);
    /// True when `address` parses and lies in one of the ranges.
    bool Contains(QByteArrayView address) const;
    const TNetRanges& Ranges() const { return m_ranges; }

private:
    TNetRanges m_ranges;
};

} // namespace vesk
