/// Definition sets: where the program's definition files lie, which set it loads, and their version records.
#pragma once

#include "settings/data_locations.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace vesk {

class DefinitionTables;

/// The names of the two definition files, as they lie in a definition set's folder.
QStringList DefinitionFileNames();

/// The layout for the running program in `programDir` (see LocateData): share/vesk is found relative to it, so
/// an installation can be moved to any prefix.
DataLocations LocateProgramData(const QString& programDir);

/// Day number of the newest definitions from a version file's bytes: the second line, trimmed, as a decimal
/// integer. False when there is no such line or it is not an integer.
bool ParseVersionFile(QByteArrayView bytes, int& day);

/// A version file naming `day`, as the update location publishes it and as a definition set records its version.
QByteArray VersionFileText(int day);

/// The version that the definition set in `dir` records beside its files (the version file it came with);
/// nullopt when there is no record or it cannot be read.
std::optional<int> ReadSetVersion(const QString& dir);

/// One whole definition set: its folder and its recorded version (nullopt: none recorded, older than any).
struct DefinitionSet
{
    QString Dir;
    std::optional<int> Version;
};

/// The set the program loads: the shipped one, or the user's installed one when that is complete (both files and
/// a version record) and newer. A package upgrade is thus never hidden by older files in the home folder.
DefinitionSet CurrentDefinitionSet(const DataLocations& locations);

/// Loads both tables from the current set (DefinitionTables::LoadAll); throws as that does.
void LoadCurrentDefinitions(DefinitionTables& definitions, const DataLocations& locations);

/// "46363 (2026-12-08)", or "none recorded": a set's version for people.
QString DescribeVersion(const std::optional<int>& version);

} // namespace vesk
