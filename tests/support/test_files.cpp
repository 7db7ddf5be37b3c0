#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace vesk::test {

QByteArray ReadWholeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteWholeFile(const QString& path, QByteArrayView bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), bytes.size()) != bytes.size() || !file.flush())
        ADD_FAILURE() << "cannot write " << path.toStdString() << ": " << file.errorString().toStdString();
}

QByteArray TakeWholeFile(const QString& path)
{
    const QByteArray bytes = ReadWholeFile(path);
    QFile::remove(path);
    return bytes;
}

} // namespace vesk::test
