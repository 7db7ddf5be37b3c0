#include "update/update_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace vesk {

bool InstallDefinitionFile(QByteArrayView bytes, const QString& target, const QString& backup)
{
    // QSaveFile writes beside the target and renames over it on commit; it never writes the target in place.
    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    // The backup is a copy, so the current file stays installed until the new one replaces it.
    if (QFileInfo(target).isFile()) {
        QFile::remove(backup);
        QFile::copy(target, backup);
    }
    return file.commit();
}

std::optional<QByteArray> TakeDownloadedFile(const QString& path, qint64 maxBytes)
{
    QFile file(path);
    std::optional<QByteArray> bytes;
    if (file.open(QIODevice::ReadOnly) && file.size() <= maxBytes) {
        bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            bytes.reset();
    }
    file.close();
    file.remove();
    return bytes;
}

} // namespace vesk
