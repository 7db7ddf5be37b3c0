/// The worksheet: the lines, boxes and status text that every report writes.
#pragma once

#include "common/clock.h"
#include "lookup/frontend.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QString>

namespace vesk {

/// The worksheet and status-line operations every report writes through: lines, the boxed titles that set
/// reports and sources apart, clearing, and the status text. Writes only to the given Frontend.
class Worksheet
{
public:
    /// `clock` dates the header boxes; `locale` names the month in them (the C locale gives "Jan", "Feb", ...).
    Worksheet(Frontend& frontend, Clock clock = SystemClock(), const QLocale& locale = QLocale::c());

    /// Appends `text` as one or more lines: every CR LF, lone CR or lone LF starts a new line, so a text ending
    /// in a line break is followed by an empty line and the empty text gives one empty line. The front end gets
    /// all the lines in one batch. An error thrown by the front end while appending is swallowed; what it
    /// refused is then lost and the caller goes on.
    void WriteLine(const QString& text);
    /// Appends the five-line header box for `title` (system code page) and an empty line after it.
    void WriteHeaderBox(QByteArrayView title);
    /// Appends an empty line and the four-line source box for `title` and `source` (system code page).
    void WriteSourceBox(QByteArrayView title, QByteArrayView source);
    /// Removes every line.
    void ClearWorksheet();
    /// Replaces the status line; the empty text blanks it.
    void SetStatus(const QByteArray& text);

    /// The month names of the header box's date come from this locale from now on.
    void SetLocale(const QLocale& locale) { m_locale = locale; }

    /// `text` as WriteLine gives it to the front end: every CR LF and lone CR made one LF.
    static QString WithLfBreaks(QString text);

    /// A box line (side, two blanks, content) padded to 65 characters and closed with its own first character
    /// when it has at most 64; a longer line comes back unchanged (open).
    static QString CloseBoxLine(const QString& line);

private:
    Frontend& m_frontend;
    Clock m_clock;
    QLocale m_locale;
};

} // namespace vesk
