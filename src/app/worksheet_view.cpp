#include "app/worksheet_view.h"

#include "settings/settings_store.h"

#include <QFont>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>
#include <QtMath>

namespace vesk {

namespace {

// A report is 66 columns wide: its box rules.
constexpr int kReportColumns = 66;
// Lines per paragraph of the worksheet's document: few enough that laying one out stays cheap.
constexpr qsizetype kLinesPerParagraph = 32;

// The width a worksheet needs to show a box rule of a report on one line, at `font`.
int WorksheetWidthForReports(const QPlainTextEdit& sheet, const QFont& font)
{
    const int rule = QFontMetrics(font).horizontalAdvance(QString(kReportColumns, QChar(0x2550)));
    const int margins = 2 * qCeil(sheet.document()->documentMargin()) + 2 * sheet.frameWidth();
    // One pixel for the cursor at the end of the line, which would otherwise wrap it.
    return rule + margins + sheet.verticalScrollBar()->sizeHint().width() + 1;
}

} // namespace

QPlainTextEdit* MakeWorksheetView(QWidget* parent)
{
    auto* sheet = new QPlainTextEdit(parent);
    sheet->setObjectName(QStringLiteral("worksheet"));
    sheet->setAccessibleName(QStringLiteral("Worksheet"));
    sheet->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    sheet->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sheet->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next control instead of typing a tab; the window has no other way out of the sheet.
    sheet->setTabChangesFocus(true);
    // Undo would take back whole reports (and keep a record of every line of them).
    sheet->setUndoRedoEnabled(false);
    QFont reportFont(TReg::kDefaultFontName);
    reportFont.setPixelSize(-TReg::kDefaultFontHeight);
    sheet->setMinimumWidth(WorksheetWidthForReports(*sheet, reportFont));
    return sheet;
}

void AppendToWorksheet(QPlainTextEdit& sheet, const QString& lines)
{
    // The text document pays per paragraph (time and memory), so a long reply goes in as paragraphs of several
    // lines held apart by line separators. The text the worksheet gives back is the same: toPlainText turns
    // every separator into a line feed.
    QString text = lines;
    QChar* const chars = text.data();
    qsizetype count = 0;
    for (qsizetype i = 0, size = text.size(); i < size; ++i) {
        if (chars[i] == u'\n' && ++count % kLinesPerParagraph != 0)
            chars[i] = QChar::LineSeparator;
    }
    sheet.appendPlainText(text);
}

} // namespace vesk
