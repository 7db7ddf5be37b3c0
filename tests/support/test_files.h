#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace vesk::test {

/// The whole content of the file at `path`; empty when it is missing or unreadable.
QByteArray ReadWholeFile(const QString& path);

/// Creates or replaces the file at `path` (and its missing folders) with `bytes`; fails the calling test when the file
/// cannot be written in full, so a test never runs on a half-made file.
void WriteWholeFile(const QString& path, QByteArrayView bytes);

/// ReadWholeFile, then removes the file (for a download the test checks once).
QByteArray TakeWholeFile(const QString& path);

} // namespace vesk::test
