#include "settings/log_file.h"

#include "common/event_wait.h"

#include <QDir>
#include <QFileInfo>

namespace vesk {

TLogFile::TLogFile(const QString& executableDir, const QString& executableName, Clock clock, int archiveSlots)
    : m_logDir(QDir(executableDir).filePath(QStringLiteral("LOG")) + u'/')
    , m_baseName(FileNameNoExt(executableName))
    , m_clock(std::move(clock))
    , m_archiveSlots(archiveSlots)
{
    // One level only: the program's own folder must exist. A failure shows up as an inactive log.
    QDir().mkdir(m_logDir);
    OpenLog();
    if (m_active)
        m_writeError = m_file.write("\r\n\r\n") != 4;
}

TLogFile::~TLogFile()
{
    if (m_active)
        m_file.close(); // writes out the buffer
}

QString TLogFile::GetLogFileName() const
{
    return m_logDir + m_baseName + QStringLiteral(".log");
}

QString TLogFile::ArchiveFileName(int n) const
{
    return m_logDir + m_baseName + u'_' + QString::number(n, 16).toUpper().rightJustified(4, u'0')
        + QStringLiteral(".LOG");
}

bool TLogFile::IsActive() const
{
    return m_active;
}

void TLogFile::OpenLog()
{
    m_active = false;
    const QString logName = GetLogFileName();
    const QFileInfo info(logName);
    if (info.exists() && info.isFile() && info.size() >= kArchiveSize) {
        // The lowest free number, so numbers freed by deleting archives are reused. When every number is
        // taken (or the rename fails) the log simply grows on: start-up must not stop over its history.
        for (int n = 0; n < m_archiveSlots; ++n) {
            const QString archive = ArchiveFileName(n);
            if (!QFileInfo::exists(archive)) {
                QFile::rename(logName, archive);
                break;
            }
        }
    }
    m_file.setFileName(logName);
    m_active = m_file.open(QIODevice::WriteOnly | QIODevice::Append);
}

void TLogFile::WriteLog(QByteArrayView message)
{
    if (!m_active)
        return;
    // Records are buffered, so a full disk shows up at the write that finds the buffer unwritable.
    if (!WriteLogRecord(m_file, m_clock(), message))
        m_writeError = true;
}

bool TLogFile::HasWriteError() const
{
    return m_writeError;
}

bool WriteLogRecord(QIODevice& out, const QDateTime& now, QByteArrayView message)
{
    QByteArray line = now.toString(QStringLiteral("yy.MM.dd hh:mm:ss")).toLatin1();
    line += " > ";
    line += message;
    line += "\r\n";
    return out.write(line) == line.size();
}

} // namespace vesk
