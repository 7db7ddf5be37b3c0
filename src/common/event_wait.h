#pragma once

#include <QString>

namespace vesk {

/// Waits `milliseconds` while the event loop keeps handling clicks, timers and repaints; it sleeps between events
/// instead of spinning. A delay of 0 or less handles the pending events once and returns.
void Delay(int milliseconds);

/// The file-name part of `path` (after the last '/', '\\' or drive colon) cut before its last '.';
/// unchanged when it has no '.'. "C:\\A\\x.y.exe" gives "x.y".
QString FileNameNoExt(const QString& path);

} // namespace vesk
