/// The front end: the one narrow interface through which the engine shows its work.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringTokenizer>
#include <exception>

namespace vesk {

/// Everything the lookup engine may do to the window that shows it. The desktop window implements it with
/// widgets, vesk-query prints, tests record. Names no widget type.
class Frontend
{
public:
    virtual ~Frontend() = default;

    /// Appends one worksheet line (no line break inside).
    virtual void AppendLine(const QString& line) = 0;
    /// Appends the lines of `lines`, separated by LF (no CR inside): everything one WriteLine writes, so that a
    /// window can take a whole reply in one insert. The empty text is one empty line. Line by line unless a front
    /// end does better; a line refused with an error is lost and the others still go in.
    virtual void AppendLines(const QString& lines)
    {
        for (const QStringView line : QStringTokenizer(lines, u'\n')) {
            try {
                AppendLine(line.toString());
            } catch (const std::exception&) {
                // A front end that cannot take more text loses the line; the report goes on.
            }
        }
    }
    /// Removes every worksheet line.
    virtual void ClearLines() = 0;
    /// Replaces the status line; the empty text blanks it. The text is already converted for showing.
    virtual void ShowStatus(const QString& text) = 0;
    /// Lets the window handle its pending events once (repaint, clicks).
    virtual void ProcessPendingEvents() = 0;
    /// The query box.
    virtual QByteArray QueryText() const = 0;
    virtual void SetQueryText(const QByteArray& text) = 0;
    /// The busy (hourglass) cursor on or off.
    virtual void SetBusy(bool busy) = 0;
};

} // namespace vesk
