/// Domain names in ASCII: the A-label form that both protocols send for a name typed in any script.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Internationalised domain names on the wire: what the user typed becomes its ASCII form (A-labels, UTS #46).

namespace vesk {

struct AceDomain
{
    bool Ok = false; ///< false: the name has no ASCII form, and nothing may be sent for it
    QByteArray Ace; ///< the ASCII form; empty when not Ok
};

/// The ASCII form of the domain `name` (8-bit text in the system code page, as the query box holds it). A name of
/// plain ASCII comes back unchanged; any other is converted label by label to A-labels ("пример.рф" ->
/// "xn--e1afmkfd.xn--p1ai"). Fails for a name that UTS #46 rejects (empty labels, disallowed characters, labels
/// too long).
AceDomain DomainToAce(QByteArrayView name);

} // namespace vesk
