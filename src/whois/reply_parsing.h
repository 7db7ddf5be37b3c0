/// Reply parsing: WHOIS and RWhois replies cut, filtered and read for referrals and handles.
#pragma once

#include "whois/definition_rows.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>

// Reading WHOIS and RWhois replies: pure functions over the raw reply bytes. Missing labels or marks give the
// empty result or the text unchanged; nothing here throws.

namespace vesk {

// --- Domain replies ---

/// QueryPrefix, blank, the domain lower-cased and trimmed, blank, QuerySuffix; trimmed.
QByteArray BuildDomainQuery(const THostMark& profile, QByteArrayView domain);
/// The text without the lines that begin with `prefix`, line breaks normalised to CR LF, trimmed. The prefix is
/// one line's start: a prefix holding a CR or LF matches no line.
QByteArray RemovePrefixedLines(QByteArrayView text, QByteArrayView prefix);
/// The text with every occurrence of `token` removed, also those that a removal forms.
QByteArray RemoveAll(QByteArrayView text, QByteArrayView token);
/// The useful part of a reply by the profile's StartMark and EndMark, "%" lines removed, trimmed.
QByteArray TrimByHostMark(const THostMark& profile, QByteArrayView reply);
/// "%rwhois V-1.5:" occurs in the reply.
bool IsRWhoisReply(QByteArrayView reply);
/// "%" lines removed and, for an RWhois reply, every "domain:".
QByteArray FilterRWhoisReply(QByteArrayView reply);
/// The registrar's WHOIS host named by "Whois Server:" (or, where that label is absent,
/// "Registrar WHOIS Server:") when `hasKnownTld` holds for it (its last label is a known TLD); otherwise empty.
/// Not trimmed.
QByteArray ExtractWhoisServer(QByteArrayView reply, const std::function<bool(QByteArrayView host)>& hasKnownTld);
/// The trimmed value after the colon that follows the first occurrence of `label`, up to CR or LF.
QByteArray ExtractLabelValue(QByteArrayView reply, QByteArrayView label);

// --- Network replies ---

/// A server named in a referral line; Port is the port text as written (or a default).
struct ReferralTarget
{
    QByteArray Host;
    QByteArray Port;
};

/// The handle of the last "(NET-...)" or "(NET6-...)" in a list reply; empty for a single record ("OrgName:").
QByteArray PickNetHandle(QByteArrayView reply);
/// The first address block after "CIDR:", from its first non-blank character up to CR or blank.
QByteArray ExtractCidr(QByteArrayView reply);
/// The "ReferralServer:" target; Port defaults to "43".
ReferralTarget ExtractReferralServer(QByteArrayView reply);
/// The "%referral rwhois:" target; no default port.
ReferralTarget ExtractRWhoisReferral(QByteArrayView reply);
/// ARIN's reply without "#" lines and "Comment: " remarks.
QByteArray FilterArinComments(QByteArrayView reply);

} // namespace vesk
