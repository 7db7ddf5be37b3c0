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

/// One record from a registry's Domain answer and its registrar's, in the same lines, each value from the server
/// that owns it and none twice: the registry's Domain Name, Registry Domain ID, dates, Registry Expiry Date,
/// statuses, name servers, DNSSEC and ">>> Last update" line; the registrar's WHOIS server, name, IANA ID, URL,
/// abuse contact, Registrar Registration Expiration Date (its "registrar expiration" event, else its own
/// "expiration"), contacts and complaint form, and, unless `filterComments`, its notices and remarks. Each field
/// is withheld or replaced as the answer that owns it says. When either is no Domain answer, the other's record.
QByteArray RenderDomainRecords(const RdapAnswer& registry, const RdapAnswer& registrar, bool filterComments);

} // namespace vesk
