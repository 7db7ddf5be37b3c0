#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Reading the parts of an RDAP object that every renderer needs: entities by role, their jCard (RFC 7095) contact
// data, events and remarks. Wrong member types read as absent.

namespace vesk {

/// How deep below the top-level object entities are searched (an abuse contact sits inside the registrant or
/// registrar entity). A fixed depth keeps a deeply nested answer from costing stack or time.
constexpr int kMaxRdapEntityDepth = 3;

/// The first entity carrying `role`, searched breadth-first from `object`'s own entities down to
/// kMaxRdapEntityDepth levels; the empty object when there is none.
QJsonObject FindEntity(const QJsonObject& object, QStringView role, int depth = kMaxRdapEntityDepth);

/// The first top-level entity (of `object`) carrying `role`; the empty object when there is none.
QJsonObject FindDirectEntity(const QJsonObject& object, QStringView role);

/// A member that should be a string: its text; numbers as their decimal form; anything else empty.
QString TextMember(const QJsonValue& value);

/// The contact data of one entity's jCard.
struct VCardContact
{
    QString Name; ///< "fn"
    QString Organization; ///< "org" (its first component)
    QStringList Street; ///< the street component(s) of "adr", then its extended address; empty parts left out
    QString City;
    QString Region;
    QString PostalCode;
    QString Country; ///< the country component of "adr", else its "cc" parameter
    QString Phone; ///< the first "tel" that is not a fax, without "tel:"
    QString Email; ///< the first "email"
};

/// The contact data of `entity`'s "vcardArray"; all empty when it has none or it is malformed.
VCardContact ReadVCard(const QJsonObject& entity);

/// The date of the first event whose eventAction is `action` (case-insensitive), as the server wrote it.
QString EventDate(const QJsonObject& object, QStringView action);

/// One of `object`'s remarks has the title "REDACTED FOR PRIVACY" (case-insensitive).
bool HasPrivacyRemark(const QJsonObject& entity);

} // namespace vesk
