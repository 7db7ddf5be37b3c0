/// Domain names in ASCII: the A-label form that both protocols send for a name typed in any script.
#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Internationalised domain names on the wire: what the user typed becomes its ASCII form by UTS #46
// (non-transitional, with the hyphen, right-to-left, joiner and length rules and the STD3 character rules).

namespace vesk {

struct AceDomain
{
    bool Ok = false; ///< false: the name has no ASCII form, and nothing may be sent for it
    QByteArray Ace; ///< the ASCII form; empty when not Ok
    QByteArray Error; ///< when not Ok: which rule the name breaks, as a sentence fragment
};

/// The ASCII form of the domain `name` (8-bit text in the system code page, as the query box holds it). A name of
/// plain ASCII without A-labels comes back unchanged, in the case it was typed; a name holding A-labels ("xn--")
/// is checked as UTS #46 checks them and also comes back unchanged; any other is converted label by label to
/// A-labels ("пример.рф" -> "xn--e1afmkfd.xn--p1ai", "faß.de" -> "xn--fa-hia.de"). The full stops U+3002, U+FF0E
/// and U+FF61 separate labels as '.' does. Fails, naming the rule, for a name that UTS #46 rejects.
AceDomain DomainToAce(QByteArrayView name);

/// `name` with the ideographic and full-width full stops (U+3002, U+FF0E, U+FF61) written as '.', the way input
/// methods of East Asian scripts type a dot; any other text unchanged.
QByteArray AsciiDots(QByteArrayView name);

} // namespace vesk
