#pragma once

#include "rdap/rdap_answer.h"

#include <QByteArray>

// An RDAP domain record as report text, in the labels and order of gTLD port-43 records, so a reader (and anything
// that reads the report) finds the same lines whichever protocol answered.

namespace vesk {

/// The value written for a field the server withheld.
inline constexpr char16_t kRdapRedacted[] = u"REDACTED";

/// The EPP form of an RDAP status that has one (RFC 8056): "client transfer prohibited" ->
/// "clientTransferProhibited", "active" -> "ok"; any other status as given, blanks simplified.
QString EppStatus(const QString& rdapStatus);

/// The record of a Domain answer as UTF-8 lines separated by CR LF (empty for any other kind), in the order of
/// ICANN's port-43 layout: one "Label: value" line per known field (Domain Name, Registry Domain ID, Registrar
/// WHOIS Server, Registrar URL, Updated Date, Creation Date, Registry Expiry Date, Registrar Registration
/// Expiration Date, Registrar, Registrar IANA ID, Registrar Abuse Contact Email and Phone, Domain Status with its
/// EPP address, the Registrant, Admin, Tech and Billing contacts with their registry IDs, phone and fax extensions,
/// Name Server, DNSSEC), then the inaccuracy complaint form's address and the ">>> Last update of RDAP database"
/// line. Dates are written as the server gave them; fields without a value are left out. A field the "redacted"
/// array withholds, or an empty contact field of an entity marked "REDACTED FOR PRIVACY", reads REDACTED; a field
/// it replaces shows the value that is there. Unless `filterComments`, the notices and remarks follow. At most
/// kMaxRdapTextBytes.
QByteArray RenderDomainRecord(const RdapAnswer& answer, bool filterComments);

} // namespace vesk
