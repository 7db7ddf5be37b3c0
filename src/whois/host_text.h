/// Host-name text helpers: trimming, case, host-name parts and numbers in 8-bit text.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Small text helpers over 8-bit texts shared by the classifiers, the reply parsers and the definition tables.
// Positions count from 1; trimming removes leading and trailing bytes of value 32 or less; case mapping touches
// only A-Z and a-z.

namespace vesk {

/// Leading and trailing bytes <= 32 removed.
QByteArray TrimText(QByteArrayView text);
/// The same, without a copy.
QByteArrayView TrimmedView(QByteArrayView text);
/// A-Z to a-z, nothing else.
QByteArray LowerAscii(QByteArrayView text);
/// a-z to A-Z, nothing else.
QByteArray UpperAscii(QByteArrayView text);

/// Position (from 1) of the last '.', 0 when there is none. Not trimmed.
qsizetype LastDotPos(QByteArrayView text);

struct HostNameParts
{
    QByteArray Name; ///< before the last dot
    QByteArray Tld; ///< after the last dot
};
/// The trimmed host cut at its last dot; both parts empty when it has no dot.
HostNameParts SplitHostName(QByteArrayView host);

/// Decimal conversion as the system's integer reading does it: optional sign, digits, no other characters,
/// must fit a signed 32-bit integer. Leading and trailing blanks are allowed. Gives false when it does not convert,
/// and `value` is then left unchanged. Leading zeros are accepted ("007" is 7); hexadecimal is not.
bool ToInt32(QByteArrayView text, int32_t& value);

} // namespace vesk
