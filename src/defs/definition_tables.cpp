#include "defs/definition_tables.h"

#include "defs/definition_file.h"
#include "whois/host_text.h"

#include <QDir>
#include <QFile>
#include <optional>
#include <stdexcept>

namespace vesk {

namespace {

// The whole definition file at `path`, or an empty optional when there is none (its table then stays empty).
// A file that exists but cannot be read is an error naming the file, so that it is not taken for a missing one.
std::optional<QByteArray> ReadDefinitionFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()).toStdString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()).toStdString());
    return bytes;
}

} // namespace

TTLDData DefinitionTables::FindTld(QByteArrayView tld) const
{
    if (tld.size() <= 1)
        return {};
    return m_tlds.Find(TrimText(LowerAscii(tld)));
}

THostMark DefinitionTables::FindHostMark(QByteArrayView host) const
{
    const QByteArray key = TrimText(LowerAscii(host));
    if (key.size() <= 3)
        return {};
    for (const THostMark& row : m_hostMarks) {
        if (row.Host == key)
            return row;
    }
    return {};
}

bool DefinitionTables::DefinitionsLoaded() const
{
    return m_tlds.Size() > 0 && !m_hostMarks.isEmpty();
}

bool DefinitionTables::IsRegistryServer(QByteArrayView host)
{
    const QByteArray key = LowerAscii(TrimText(host));
    for (const char* name : kRegistryWhoisHosts) {
        if (key == name)
            return true;
    }
    return false;
}

bool DefinitionTables::DomainFound(QByteArrayView host, QByteArrayView reply) const
{
    // Deliberately not trimmed: the key is the host exactly as the caller asked it.
    const QByteArray key = LowerAscii(host);
    for (const THostMark& row : m_hostMarks) {
        if (row.Host == key)
            return row.NoMatchMark.isEmpty() || !reply.contains(row.NoMatchMark);
    }
    return true;
}

bool DefinitionTables::HasKnownTld(QByteArrayView text) const
{
    if (LastDotPos(TrimText(text)) == 0)
        return false;
    return !FindTld(SplitHostName(text).Tld).Tld.isEmpty();
}

void DefinitionTables::LoadTldTable(const QString& directory)
{
    m_tlds = {};
    const auto file = ReadDefinitionFile(QDir(directory).filePath(QString::fromLatin1(kTldFileName.Text())));
    if (file)
        m_tlds = TldRowIndex(DecryptDefinitionFile(*file, UnscrambleKey()));
}

void DefinitionTables::SetTldRows(const QList<TTLDData>& rows)
{
    QByteArray text;
    for (const TTLDData& row : rows)
        text += row.Tld + '#' + row.Description + '#' + row.Server + "\r\n";
    m_tlds = TldRowIndex(std::move(text));
}

void DefinitionTables::LoadHostMarks(const QString& directory)
{
    m_hostMarks.clear();
    const auto file = ReadDefinitionFile(QDir(directory).filePath(QString::fromLatin1(kHostMarkFileName.Text())));
    if (file)
        m_hostMarks = ParseHostMarkRows(DecryptDefinitionFile(*file, UnscrambleKey()));
}

void DefinitionTables::LoadAll(const QString& directory)
{
    LoadTldTable(directory);
    LoadHostMarks(directory);
}

} // namespace vesk
