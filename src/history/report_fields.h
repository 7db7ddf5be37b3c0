/// Report fields: the values a person compares between two reports of the same query, read from the worksheet.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace vesk {

/// One value of one field, as the report wrote it.
struct ReportField
{
    QString Label; ///< the field's one name, whatever the server called it ("NetName" for "netname:")
    QString Subject; ///< the address of the network details it came from; empty for the domain's fields
    QString Value; ///< as written, blanks simplified

    /// "NetName for 8.8.8.8", or the bare label for a domain's field.
    QString DisplayLabel() const;
    friend bool operator==(const ReportField&, const ReportField&) = default;
};

/// The fields of one report in the order they first appear; a value equal by meaning to one before it under the
/// same label and subject is left out.
using ReportFields = QList<ReportField>;

/// At most this many values are kept per label and subject, and each value is cut to this many characters: a reply
/// is untrusted bytes of any length.
inline constexpr qsizetype kMaxValuesPerField = 1000;
inline constexpr qsizetype kMaxFieldValueChars = 1000;

/// Reads the fields of the report whose worksheet lines are `lines` (as the front end got them). The domain details
/// give registrar, IANA ID, statuses, name servers, DNSSEC, dates, registrant and abuse contact; each network details
/// section gives range, CIDR, net name, origin AS, organisation, country and AS number and name, qualified by its
/// address. Port-43 labels and the labels of rendered RDAP records give the same fields, and so do the blocks of
/// country registries ("Name servers:" with one server per indented line below it). Comments, notices, the
/// "Last update" line, contact sections and any earlier changes section are never read. Never fails: a report
/// without such lines has no fields.
ReportFields ExtractReportFields(const QStringList& lines);

/// What `value` means under `label`, as a text that is equal for equal meanings: dates as UTC instants, statuses
/// by their EPP code without the URL, name servers, countries, e-mail addresses and DNSSEC case-insensitively, AS
/// numbers without "AS", an organisation without its trailing "(HANDLE)".
QString FieldKey(const QString& label, const QString& value);

/// True for the fields that hold a set of values (statuses, name servers): a change there is a value added or
/// removed, never one value replaced by another.
bool IsSetField(const QString& label);

/// The instant a date field's text names (UTC); none when the text is no date. Times without a zone count as UTC,
/// a date alone as its midnight.
std::optional<QDateTime> ParseFieldDate(const QString& text);

/// The first value of the domain's field `label`; empty when the report has none.
QString FirstFieldValue(const ReportFields& fields, const QString& label);
/// The registrar's name, for listings.
QString RegistrarOf(const ReportFields& fields);
/// The expiry date as written: the registry's, else the registrar's; empty when the report names neither.
QString ExpiryOf(const ReportFields& fields);

/// The fields as compact JSON (an array of {label, subject, value}), and back. Text that is no such array reads as
/// no fields.
QByteArray FieldsToJson(const ReportFields& fields);
ReportFields FieldsFromJson(QByteArrayView json);

} // namespace vesk
