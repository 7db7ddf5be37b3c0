#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// The "redacted" array of an RDAP answer (RFC 9537) read as the port-43 fields it withholds or replaces. Each entry
// is placed by its path where the path can be read (prePath, else postPath); an entry whose path is missing or
// cannot be evaluated is placed by its name ("Registrant Name", "Technical Email").

namespace vesk {

enum class RedactionState {
    NotNamed, ///< no entry names the field
    Withheld, ///< method removal or emptyValue (or none given): the field reads REDACTED
    Replaced, ///< method replacementValue or partialValue: the value that is there is shown
};

struct FieldRedaction
{
    RedactionState State = RedactionState::NotNamed;
    QString Replacement; ///< Replaced: the value the entry's replacementPath selects, if any
};

class RdapRedactions
{
public:
    explicit RdapRedactions(const QJsonObject& record);

    /// The entry for a port-43 label ("Registrant Name", "Registry Domain ID", "Tech Contact"), any case; the first
    /// entry wins.
    FieldRedaction Find(QStringView label) const;

    /// Some entry names a field whose label starts with `word` + " " ("Registrant") or is "Registry `word` ID".
    bool NamesAnyOf(QStringView word) const;

private:
    struct Entry
    {
        QStringList Labels; ///< lower-case port-43 labels
        FieldRedaction Redaction;
    };
    QList<Entry> m_entries;
};

/// The port-43 labels (lower case) a path of a "redacted" entry points at, read against `record`: a top-level member
/// ("$.handle" is "registry domain id"), or a contact's entity, handle or jCard property and address component
/// ("$.entities[?(@.roles[0]=='technical')].vcardArray[1][?(@[0]=='fn')][3]" is "tech name"). The part of the path
/// that selects nothing in `record` (a removed value) is read by its form. Empty when the path is of no known form.
QStringList RedactedLabels(const QJsonObject& record, QStringView path);

} // namespace vesk
