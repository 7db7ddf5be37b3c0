/// Downloads to a cache file, waited for with a bounded size and time.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

namespace vesk {

/// Called with true when a download starts and with false when it has ended; the desktop shows the busy cursor
/// in between, the command line may ignore it.
using BusyCallback = std::function<void(bool busy)>;

/// Fetches one address into a local file: its path, or an empty string when the download failed. The caller
/// removes the file when done.
using DownloadFunction = std::function<QString(const QByteArray& address)>;

/// Bounds of one download, so a silent or endless server cannot hold the program.
struct DownloadLimits
{
    int StallTimeoutMs = 30'000; ///< longest wait for the next bytes
    int TotalTimeoutMs = 120'000; ///< longest time for the whole download
    qint64 MaxBytes = qint64 { 16 } * 1024 * 1024; ///< a longer answer counts as a failure
};

/// Fetches `address` into a new local file and gives that file's path, or an empty string when the download
/// failed (no network, unknown host, an HTTP status other than 2xx, a time-out, too many bytes, a local write
/// error). The file holds the complete answer; the caller removes it when done. Waits for the answer inside
/// the calling thread, letting it repaint but not take user input. Needs a QCoreApplication.
QString DownloadToCache(const QByteArray& address, const BusyCallback& busy = {}, const DownloadLimits& limits = {});

} // namespace vesk
