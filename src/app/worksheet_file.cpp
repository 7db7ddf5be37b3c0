#include "app/worksheet_file.h"

#include <QSaveFile>

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

} // namespace vesk
