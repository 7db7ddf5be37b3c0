#include "defs/definition_tables.h"

#include "defs/definition_file.h"
#include "whois/host_text.h"

#include <QDir>
#include <QFile>
#include <optional>
#include <stdexcept>

namespace vesk {

namespace {

// One octet of a dotted address: a decimal integer 0 to 255 (leading zeros allowed).
// The whole file, or an empty optional when it does not exist. A file that exists but cannot be read is an
// error, reported like a damaged one.
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

bool ParseOctet(QByteArrayView piece, int64_t& octet)
{
    int32_t value = 0;
    if (!ToInt32(piece, value) || value < 0 || value > 255)
        return false;
    octet = value;
    return true;
}

} // namespace

int64_t ParseIPv4(QByteArrayView text)
{
    const QByteArray clean = CleanAddress(text);
    if (clean.isEmpty())
        return -1;
    QByteArrayView rest(clean);
    int64_t value = 0;
    for (int i = 0; i < 3; ++i) {
        const qsizetype dot = rest.indexOf('.');
        if (dot < 0)
            return -1;
        int64_t octet = 0;
        if (!ParseOctet(rest.first(dot), octet))
            return -1;
        value = value * 256 + octet;
        rest = rest.sliced(dot + 1);
    }
    int64_t octet = 0;
    if (!ParseOctet(rest, octet))
        return -1;
    return value * 256 + octet;
}

TIPRange ParseCidr(QByteArrayView text)
{
    QByteArrayView address = text;
    int32_t prefix = 32;
    const qsizetype slash = text.indexOf('/');
    if (slash >= 0) {
        address = text.first(slash);
        if (!ToInt32(DigitsOnly(text.sliced(slash + 1)), prefix) || prefix < 0 || prefix > 32)
            prefix = 32;
    }
    TIPRange range;
    range.First = ParseIPv4(address);
    int64_t size = 1;
    for (int i = 0; i < 32 - prefix; ++i)
        size *= 2;
    range.Last = range.First + size - 1;
    return range;
}

int TNetworkRange::AddCidr(QByteArrayView text)
{
    const TIPRange range = ParseCidr(text);
    // A block whose address does not parse would otherwise reach from -1 to almost the whole address space and
    // hide every later network of the report.
    if (range.First < 0)
        return 0;
    if (range.First > 0 || range.Last > 0)
        return Add(range);
    return 0;
}

int TNetworkRange::Add(const TIPRange& range)
{
    m_ranges.append(range);
    return static_cast<int>(m_ranges.size());
}

bool TNetworkRange::Contains(QByteArrayView address) const
{
    const int64_t value = ParseIPv4(address);
    if (value < 0)
        return false;
    for (const TIPRange& range : m_ranges) {
        if (range.First <= value && value <= range.Last)
            return true;
    }
    return false;
}

TTLDData DefinitionTables::FindTld(QByteArrayView tld) const
{
    if (tld.size() <= 1)
        return {};
    const QByteArray key = TrimText(LowerAscii(tld));
    for (const TTLDData& row : m_tlds) {
        if (row.Tld == key)
            return row;
    }
    return {};
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
    return !m_tlds.isEmpty() && !m_hostMarks.isEmpty();
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
    m_tlds.clear();
    const auto file = ReadDefinitionFile(QDir(directory).filePath(QString::fromLatin1(kTldFileName.Text())));
    if (file)
        m_tlds = ParseTldRows(DecryptDefinitionFile(*file, UnscrambleKey()));
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
