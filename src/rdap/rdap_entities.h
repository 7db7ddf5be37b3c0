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
    /// The street component(s) of "adr", then its extended address and post office box; empty parts left out.
    /// An "adr" whose components are all empty gives the lines of its "label" parameter (see SplitAddressLabel).
    QStringList Street;
    QString City;
    QString Region;
    QString PostalCode;
    QString Country; ///< the "cc" parameter of "adr" (the code port 43 shows), else its country component
    QString Phone; ///< the first "tel" that is not a fax, without "tel:" and without its extension
    QString PhoneExt; ///< that number's ";ext=" part
    QString Fax; ///< the first "tel" of type "fax"
    QString FaxExt;
    QString Email; ///< the first "email"
    QString ContactUri; ///< the first "contact-uri" (a contact form, often in place of an email)
};

/// The contact data of `entity`'s "vcardArray"; all empty when it has none or it is malformed. The first "adr"
/// with structured components wins; a label-only one is used when no such one exists.
VCardContact ReadVCard(const QJsonObject& entity);

/// The lines of an address label mapped to the contact's address fields where the layout is plain: one field per
/// line ending "city / 2-3 letter region / postal code / country", or a "City, RG 12345" line followed by the
/// country. Any other label gives all its lines as Street. Lines break at line feeds and at a written "\n".
void SplitAddressLabel(const QString& label, VCardContact& contact);

/// The date of the first event whose eventAction is `action` (case-insensitive), as the server wrote it.
QString EventDate(const QJsonObject& object, QStringView action);

/// One of `object`'s remarks has the title "REDACTED FOR PRIVACY" (case-insensitive).
bool HasPrivacyRemark(const QJsonObject& entity);

} // namespace vesk
