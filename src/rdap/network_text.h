#pragma once

#include "rdap/rdap_answer.h"

#include <QByteArray>
#include <QByteArrayView>

// An RDAP IP network or AS number record as report text in the labels of ARIN's port-43 records, so the address report
// reads its CIDR line as it reads ARIN's.

namespace vesk {

/// The CIDR blocks that exactly cover the IPv4 range from `start` to `end`, smallest address first, joined with
/// ", " ("192.198.0.0/22"); empty when either is no IPv4 address or start is above end.
QByteArray RangeToCidr(QByteArrayView start, QByteArrayView end);

/// The record of an IpNetwork answer as UTF-8 lines separated by CR LF (empty for any other kind): NetRange, CIDR
/// (from "cidr0_cidrs", else computed from the start and end address), NetName, NetHandle, Organization (the
/// registrant's name and handle), Country, OrgAbuseEmail; each label padded to 16 characters as ARIN does, lines
/// without a value left out. Unless `filterComments`, the notices and remarks follow. At most kMaxRdapTextBytes.
QByteArray RenderNetworkRecord(const RdapAnswer& answer, bool filterComments);

/// The record of an answer whose objectClassName is "autnum" in the labels of ARIN's AS number records (empty for
/// any other answer): ASNumber (the number, or "first - last" for a range), ASName, ASHandle, OrgName and OrgId
/// (the registrant's name and handle), Country, OrgAbuseEmail; padded and filtered like RenderNetworkRecord.
QByteArray RenderAutnumRecord(const RdapAnswer& answer, bool filterComments);

} // namespace vesk
