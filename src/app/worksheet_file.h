/// The worksheet file: the worksheet saved as UTF-8 text, whole or not at all.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;
class QWidget;

namespace vesk {

/// The worksheet as File > Save writes it: UTF-8, ending with a line break unless it is empty.
QByteArray WorksheetFileText(const QString& plainText);

/// Writes the worksheet's text to `out`. Returns false when `out` did not take every byte.
bool WriteWorksheet(QIODevice& out, const QString& plainText);

/// Saves the worksheet's text as `path`. The old file is replaced only once the new one is complete, so a
/// failed save leaves it as it was. On failure returns false and sets `error` to the reason.
bool SaveWorksheetFile(const QString& path, const QString& plainText, QString& error);

/// Where File > Save puts the worksheet: asked through a file dialog that starts in the folder of the last save of
/// this run, at first the user's documents folder (the home folder when there is none).
class WorksheetSavePlace
{
public:
    /// Asks the user for a file, starting at `startPath`; the empty text when cancelled.
    using Dialog = std::function<QString(const QString& startPath)>;

    /// The desktop's save dialog over `parent`.
    explicit WorksheetSavePlace(QWidget* parent);
    /// Replaces the dialog (tests answer it).
    void SetDialog(Dialog dialog) { m_dialog = std::move(dialog); }
    /// The file chosen, or the empty text when cancelled; the next ask starts in the chosen file's folder.
    QString Ask();

private:
    Dialog m_dialog;
    QString m_folder;
};

} // namespace vesk
