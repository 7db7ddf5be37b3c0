#pragma once

#include <QByteArrayView>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QUrl>

// An RDAP answer body (RFC 9083) read once and told apart: a domain, an IP network, some other object, an error
// object, or no RDAP answer at all. The renderers and the registrar-link picker work on the result.

namespace vesk {

/// The largest answer body read; a longer one is not a valid answer.
constexpr qsizetype kMaxRdapAnswerBytes = qsizetype { 16 } * 1024 * 1024;

enum class RdapAnswerKind {
    Invalid, ///< not JSON, not an object, too large, or neither an RDAP object nor an error object
    Error, ///< an error object: "errorCode" and no "objectClassName"
    Domain, ///< objectClassName "domain"
    IpNetwork, ///< objectClassName "ip network"
    OtherObject, ///< any other objectClassName (entity, autnum, nameserver, ...)
};

struct RdapAnswer
{
    RdapAnswerKind Kind = RdapAnswerKind::Invalid;
    QJsonObject Object; ///< the top-level object (empty when Invalid)
    int ErrorCode = 0; ///< the error object's code; 0 when it is missing or no integer
    QString ErrorTitle;
    QStringList ErrorDescription;
};

/// Reads an answer body. JSON nested deeper than the JSON reader allows (1,024 levels) is Invalid; wrong member
/// types never fail here, the renderers skip them.
RdapAnswer ParseRdapAnswer(QByteArrayView body);

/// The registrar's RDAP record named by a registry's domain answer: the top-level link with rel "related" and type
/// application/rdap+json; without one, the first untyped related link whose path holds "/domain/", whatever other
/// links there are. A link typed text/html (or anything else) is never taken; only absolute http(s) addresses count.
/// Invalid when there is none. Whether the host may be asked is the caller's rule.
QUrl PickRegistrarLink(const RdapAnswer& answer);

} // namespace vesk
