#pragma once

#include "rdap/rdap_answer.h"

#include <QByteArray>

// An RDAP domain record as report text, in the labels and order of gTLD port-43 records, so a reader (and anything
// that reads the report) finds the same lines whichever protocol answered.

namespace vesk {

/// The value written for a field the server withheld.
inline constexpr char16_t kRdapRedacted[] = u"REDACTED";

/// The EPP form of an RDAP status (RFC 8056): "client transfer prohibited" -> "clientTransferProhibited",
/// "active" -> "ok".
QString EppStatus(const QString& rdapStatus);

/// The record of a Domain answer as UTF-8 lines separated by CR LF (empty for any other kind): one "Label: value"
/// line per known field (Domain Name, Registry Domain ID, Registrar WHOIS Server, Registrar URL, Updated Date,
/// Creation Date, Registry Expiry Date, Registrar, Registrar IANA ID, Registrar Abuse Contact Email and Phone,
/// Domain Status, the Registrant, Admin, Tech and Billing contacts, Name Server, DNSSEC). Fields without a value
/// are left out; a field the "redacted" array names, or an empty contact field of an entity marked "REDACTED FOR
/// PRIVACY", reads REDACTED. Unless `filterComments`, the notices and remarks follow. At most kMaxRdapTextBytes.
QByteArray RenderDomainRecord(const RdapAnswer& answer, bool filterComments);

} // namespace vesk
