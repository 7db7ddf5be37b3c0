/// The log file: the run history the program keeps beside itself.
#pragma once

#include "common/clock.h"
#include "common/log_sink.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QFile>
#include <QString>

namespace vesk {

/// The run history beside the executable: LOG/<base>.log, lines "yy.mm.dd hh:mm:ss > message" with CR LF.
/// A log of 1,048,575 bytes or more is archived at start as <base>_NNNN.LOG (lowest free hex number).
/// A log that cannot be opened leaves the object inactive and the program works on without it.
class TLogFile final : public LogSink
{
public:
    /// Archive numbers tried, 0000 to FFFE. When all are taken the log is not archived and grows on.
    static constexpr int kArchiveSlots = 0xFFFF;
    /// A log this size or larger is archived at start.
    static constexpr qint64 kArchiveSize = 0xFFFFF;

    /// `executableDir` is the folder holding the program; `executableName` its file name (the base name is that
    /// name without its extension). Creates the LOG folder (one level), opens the log and, when active, writes two
    /// empty lines. `archiveSlots` lets tests shrink the range of archive numbers.
    TLogFile(const QString& executableDir, const QString& executableName, Clock clock = SystemClock(),
             int archiveSlots = kArchiveSlots);
    ~TLogFile() override;

    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    /// LOG folder + base name + ".log".
    QString GetLogFileName() const;
    /// The name of archive number `n`: <base>_NNNN.LOG in the LOG folder, at least four upper-case hex digits.
    QString ArchiveFileName(int n) const;
    /// True while the current log is open for writing.
    bool IsActive() const;
    /// Appends one record; does nothing while inactive. The message is written verbatim. Records are buffered
    /// and reach the file when the buffer fills and at destruction; a record the file refuses (a full buffer
    /// that cannot be written out) sets HasWriteError().
    void WriteLog(QByteArrayView message);
    /// True once a record (or the opening empty lines) could not be written in full; the log stays active
    /// and later records are still attempted.
    bool HasWriteError() const;
    /// The sink's record: the same as WriteLog.
    void Write(QByteArrayView message) override { WriteLog(message); }

private:
    void OpenLog();

    QString m_logDir;
    QString m_baseName;
    Clock m_clock;
    int m_archiveSlots;
    QFile m_file;
    bool m_active = false;
    bool m_writeError = false;
};

/// Writes one record, "yy.MM.dd hh:mm:ss > message" and CR LF, stamped with `now`. Returns false when `out`
/// did not take the whole line.
bool WriteLogRecord(QIODevice& out, const QDateTime& now, QByteArrayView message);

} // namespace vesk
