#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringView>

// The report text of an RDAP answer, written one line at a time within a fixed size.

namespace vesk {

/// The most bytes the text of one answer holds; a line that would pass it is dropped, and so is every line after
/// it. An answer may be 16 MiB; a record in the report is a page or two, and a hostile answer must not flood the
/// worksheet.
constexpr qsizetype kMaxRdapTextBytes = qsizetype { 256 } * 1024;
/// The most characters one value keeps; the rest is cut.
constexpr qsizetype kMaxRdapValueChars = 2048;

/// `value` with control characters as blanks and cut to kMaxRdapValueChars (never inside a surrogate pair).
QString CleanRdapValue(const QString& value);

/// Collects lines as UTF-8 separated by CR LF (no line break after the last). Control characters in a line (line
/// breaks included) become blanks, so every value stays on its own line and cannot pose as another label.
class TextLines
{
public:
    /// Appends `line`, cut to kMaxRdapValueChars characters; nothing once the text is full.
    void Add(const QString& line) { Append(CleanRdapValue(line)); }
    /// Appends "label: value", the value cut to kMaxRdapValueChars characters.
    void AddLabel(QStringView label, const QString& value);
    /// Appends `prefix` (written as given) followed by `value` cut to kMaxRdapValueChars characters.
    void AddPrefixed(const QString& prefix, const QString& value);
    /// An empty line.
    void AddEmpty() { Add(QString()); }
    /// A line has been dropped: adding more is pointless.
    bool Full() const { return m_full; }
    /// The lines so far.
    const QByteArray& Text() const { return m_text; }

private:
    void Append(const QString& cleanLine);

    QByteArray m_text;
    bool m_lines = false;
    bool m_full = false;
};

/// The object's top-level notices, then its remarks, each as an empty line, its title and its description lines
/// (the terms-of-service text that comment filtering leaves out).
void AddNoticesAndRemarks(TextLines& lines, const QJsonObject& object);

} // namespace vesk
