#include "defs/definition_file.h"
#include "defs/definition_sets.h"
#include "settings/data_locations.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace vesk {
namespace {

// Writes a whole or partial definition set into `dir`: both files unless `complete` is false, and a version record
// when `version` is given.
void WriteSet(const QString& dir, std::optional<int> version, bool complete = true)
{
    ASSERT_TRUE(QDir().mkpath(dir));
    const auto write = [&dir](const QByteArray& name, const QByteArray& bytes) {
        QFile file(QDir(dir).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    write(kTldFileName.Text(), "tld");
    if (complete)
        write(kHostMarkFileName.Text(), "host");
    if (version)
        write(kVersionFileName.Text(), VersionFileText(*version));
}

// Which of the shipped and the user's set is loaded: the user's only when whole and strictly newer, so that equal
// versions keep the files that came with the program.
TEST(DefinitionSetTest, TheUsersSetIsLoadedOnlyWhenWholeAndNewer)
{
    const struct
    {
        const char* name;
        std::optional<int> shipped;
        std::optional<int> user;
        bool userComplete;
        bool userLoaded;
    } rows[] = {
        { "equal versions", 37500, 37500, true, false },
        { "user newer", 37500, 37501, true, true },
        { "user older", 37500, 37499, true, false },
        { "user without a record", 37500, std::nullopt, true, false },
        { "user missing a file", 37500, 37600, false, false },
        { "shipped without a record", std::nullopt, 37500, true, true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir root;
        DataLocations locations;
        locations.ShippedDir = root.filePath(QStringLiteral("shipped"));
        locations.UserDataDir = root.filePath(QStringLiteral("user"));
        WriteSet(locations.ShippedDir, row.shipped);
        WriteSet(locations.UserDataDir, row.user, row.userComplete);
        const DefinitionSet set = CurrentDefinitionSet(locations);
        EXPECT_EQ(set.Dir, row.userLoaded ? locations.UserDataDir : locations.ShippedDir);
        EXPECT_EQ(set.Version, row.userLoaded ? row.user : row.shipped);
    }
}

} // namespace
} // namespace vesk
