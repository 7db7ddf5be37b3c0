#include "app/worksheet_file.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace vesk {

QByteArray WorksheetFileText(const QString& plainText)
{
    QByteArray text = plainText.toUtf8();
    if (!text.isEmpty() && !text.endsWith('\n'))
        text.append('\n');
    return text;
}

bool WriteWorksheet(QIODevice& out, const QString& plainText)
{
    const QByteArray text = WorksheetFileText(plainText);
    return out.write(text) == text.size();
}

bool SaveWorksheetFile(const QString& path, const QString& plainText, QString& error)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && WriteWorksheet(file, plainText) && file.commit())
        return true;
    error = file.errorString();
    return false; // the unfinished temporary file goes with `file`
}

WorksheetSavePlace::WorksheetSavePlace(QWidget* parent)
    : m_folder(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
{
    m_dialog = [parent](const QString& startPath) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Worksheet"), startPath,
                                            QStringLiteral("Text files (*.txt);;All files (*)"));
    };
    if (m_folder.isEmpty())
        m_folder = QDir::homePath();
}

QString WorksheetSavePlace::Ask()
{
    QString path = m_dialog(QDir(m_folder).filePath(QStringLiteral("worksheet.txt")));
    if (!path.isEmpty())
        m_folder = QFileInfo(path).absolutePath();
    return path;
}

} // namespace vesk
