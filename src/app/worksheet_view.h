/// The worksheet view: the text area that collects the reports, and how text goes into it.
#pragma once

#include <QString>

class QPlainTextEdit;
class QWidget;

namespace vesk {

/// The worksheet on `parent`: word-wrapped, vertical scroll bar only, no undo, Tab leaving it, and at least as
/// wide as a report's box rule at the default worksheet font.
QPlainTextEdit* MakeWorksheetView(QWidget* parent);

/// Appends `lines` (separated by LF) in one insert, however many there are: one layout pass and one scroll. The
/// text the worksheet gives back is the same as line-by-line appends would give.
void AppendToWorksheet(QPlainTextEdit& sheet, const QString& lines);

} // namespace vesk
