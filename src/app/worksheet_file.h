/// The worksheet file: the worksheet saved as UTF-8 text, whole or not at all.
#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

namespace vesk {

/// The worksheet as File > Save writes it: UTF-8, ending with a line break unless it is empty.
QByteArray WorksheetFileText(const QString& plainText);

/// Writes the worksheet's text to `out`. Returns false when `out` did not take every byte.
bool WriteWorksheet(QIODevice& out, const QString& plainText);

/// Saves the worksheet's text as `path`. The old file is replaced only once the new one is complete, so a
/// failed save leaves it as it was. On failure returns false and sets `error` to the reason.
bool SaveWorksheetFile(const QString& path, const QString& plainText, QString& error);

} // namespace vesk
