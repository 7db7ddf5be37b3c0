#include "settings/data_locations.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

namespace vesk {

namespace {

constexpr char kOwnFolder[] = "vesk";

// The variable's value when it names an absolute path; the XDG rules say to ignore relative ones.
QString AbsoluteFromEnvironment(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    return QDir::isAbsolutePath(value) ? QDir::cleanPath(value) : QString();
}

bool HoldsAll(const QString& dir, const QStringList& files)
{
    const QDir folder(dir);
    return !files.isEmpty() && std::all_of(files.cbegin(), files.cend(), [&folder](const QString& name) {
        return QFileInfo(folder.filePath(name)).isFile();
    });
}

} // namespace

UserFolders UserFolders::FromEnvironment()
{
    UserFolders folders;
    // Qt honours $XDG_DATA_HOME here; its application location would add the maker's and the product's names.
    folders.DataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folders.DataHome.isEmpty())
        folders.DataHome = QDir::home().filePath(QStringLiteral(".local/share"));
    // Qt 6.4 knows no state location.
    folders.StateHome = AbsoluteFromEnvironment("XDG_STATE_HOME");
    if (folders.StateHome.isEmpty())
        folders.StateHome = QDir::home().filePath(QStringLiteral(".local/state"));
    return folders;
}

DataLocations DataLocations::InOneFolder(const QString& dir)
{
    return { dir, dir, dir, true };
}

DataLocations DataLocations::Installed(const QString& shippedDir, const UserFolders& user)
{
    const QString own = QString::fromLatin1(kOwnFolder);
    return { shippedDir, QDir(user.DataHome).filePath(own), QDir(user.StateHome).filePath(own), false };
}

DataLocations LocateData(const QString& programDir, const QStringList& definitionFiles,
                         const QString& shippedFromProgram, const UserFolders& user)
{
    const bool holdsDefinitions = HoldsAll(programDir, definitionFiles);
    if (holdsDefinitions && QFileInfo(programDir).isWritable())
        return DataLocations::InOneFolder(programDir);
    const QString shipped
        = holdsDefinitions ? programDir : QDir::cleanPath(QDir(programDir).filePath(shippedFromProgram));
    return DataLocations::Installed(shipped, user);
}

bool MakeLogParentDir(const DataLocations& locations)
{
    return QDir().mkpath(locations.LogParentDir);
}

} // namespace vesk
