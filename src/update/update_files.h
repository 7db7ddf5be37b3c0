/// Files of the update: taking what a download left behind, and putting a file in place with a backup.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

namespace vesk {

/// Puts bytes in place as `target` with a one-generation `backup`; false when it could not.
using InstallFunction = std::function<bool(QByteArrayView bytes, const QString& target, const QString& backup)>;

/// Puts `bytes` in place as `target` so that no reader ever sees it missing or half written: the bytes go to a
/// temporary file beside it, the current file is copied to `backup` (one generation; a failed backup is not an
/// error), then the new file replaces the current one in one rename. Returns false when it could not be put in
/// place; `target` is then the file it was before.
bool InstallDefinitionFile(QByteArrayView bytes, const QString& target, const QString& backup);

/// Reads and removes a file that a download left behind: its bytes, or nullopt when it cannot be read whole or
/// holds more than `maxBytes`. The file is removed either way.
std::optional<QByteArray> TakeDownloadedFile(const QString& path, qint64 maxBytes);

} // namespace vesk
