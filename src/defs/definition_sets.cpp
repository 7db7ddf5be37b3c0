#include "defs/definition_sets.h"

#include "common/day_numbers.h"
#include "defs/definition_file.h"
#include "defs/definition_tables.h"
#include "whois/host_text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace vesk {

namespace {

// A version record is a few bytes; anything larger is not one.
constexpr qint64 kMaxVersionRecord = 4096;

bool HoldsBothFiles(const QString& dir)
{
    const QDir folder(dir);
    const QStringList names = DefinitionFileNames();
    return std::all_of(names.cbegin(), names.cend(),
                       [&folder](const QString& name) { return QFileInfo(folder.filePath(name)).isFile(); });
}

} // namespace

QStringList DefinitionFileNames()
{
    return { QString::fromLatin1(kTldFileName.Text()), QString::fromLatin1(kHostMarkFileName.Text()) };
}

DataLocations LocateProgramData(const QString& programDir)
{
    return LocateData(programDir, DefinitionFileNames(), QStringLiteral(VESK_SHIPPED_DATA_FROM_PROGRAM),
                      UserFolders::FromEnvironment());
}

bool ParseVersionFile(QByteArrayView bytes, int& day)
{
    // Lines end in LF, CR LF or a lone CR; the first line is a comment.
    qsizetype firstEnd = -1;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            firstEnd = i;
            break;
        }
    }
    if (firstEnd < 0)
        return false;
    qsizetype start = firstEnd + 1;
    if (bytes[firstEnd] == '\r' && start < bytes.size() && bytes[start] == '\n')
        ++start;
    if (start >= bytes.size())
        return false;
    qsizetype end = start;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
        ++end;
    const QByteArray line = TrimText(bytes.sliced(start, end - start));
    bool ok = false;
    const int value = line.toInt(&ok, 10);
    if (!ok)
        return false;
    day = value;
    return true;
}

QByteArray VersionFileText(int day)
{
    // The reader skips the first line and reads the day number from the second.
    return "Vesk definitions of " + DateOfDayNumber(day).toString(Qt::ISODate).toLatin1() + "\r\n"
        + QByteArray::number(day) + "\r\n";
}

std::optional<int> ReadSetVersion(const QString& dir)
{
    QFile file(QDir(dir).filePath(QString::fromLatin1(kVersionFileName.Text())));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxVersionRecord)
        return std::nullopt;
    int day = 0;
    if (!ParseVersionFile(file.readAll(), day))
        return std::nullopt;
    return day;
}

DefinitionSet CurrentDefinitionSet(const DataLocations& locations)
{
    DefinitionSet shipped { locations.ShippedDir, ReadSetVersion(locations.ShippedDir) };
    if (QDir::cleanPath(locations.UserDataDir) == QDir::cleanPath(locations.ShippedDir))
        return shipped;
    DefinitionSet user { locations.UserDataDir, ReadSetVersion(locations.UserDataDir) };
    // A set without its record is incomplete: the update writes the record only after both files.
    if (!user.Version || !HoldsBothFiles(user.Dir))
        return shipped;
    if (shipped.Version && *shipped.Version >= *user.Version)
        return shipped;
    return user;
}

void LoadCurrentDefinitions(DefinitionTables& definitions, const DataLocations& locations)
{
    definitions.LoadAll(CurrentDefinitionSet(locations).Dir);
}

QString DescribeVersion(const std::optional<int>& version)
{
    if (!version)
        return QStringLiteral("none recorded");
    return QStringLiteral("%1 (%2)").arg(*version).arg(DateOfDayNumber(*version).toString(Qt::ISODate));
}

} // namespace vesk
