#pragma once

#include "common/clock.h"

#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace vesk {

/// The run history beside the executable: LOG/<base>.log, lines "yy.mm.dd hh:mm:ss > message" with CR LF.
/// A log of 1,048,575 bytes or more is archived at start as <base>_NNNN.LOG (lowest free hex number).
/// A log that cannot be opened leaves the object inactive and the program works on without it.
class TLogFile
{
public:
    /// `executableDir` is the folder holding the program; `executableName` its file name (the base name is that
    /// name without its extension). Opens the log and, when active, writes two empty lines.
    TLogFile(const QString& executableDir, const QString& executableName, Clock clock = SystemClock());
    ~TLogFile();

    TLogFile(const TLogFile&) = delete;
    TLogFile& operator=(const TLogFile&) = delete;

    QString GetLogFileName() const;
    bool IsActive() const;
    /// Appends one record; does nothing while inactive. The message is written verbatim.
    void WriteLog(QByteArrayView message);

private:
    void OpenLog();

    QString m_logDir;
    QString m_baseName;
    Clock m_clock;
    QFile m_file;
    bool m_active = false;
};

} // namespace vesk
