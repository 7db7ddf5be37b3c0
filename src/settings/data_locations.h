#pragma once

#include <QString>
#include <QStringList>

namespace vesk {

/// The user's own folders as the XDG base directories name them.
struct UserFolders
{
    QString DataHome; ///< $XDG_DATA_HOME, else ~/.local/share
    QString StateHome; ///< $XDG_STATE_HOME, else ~/.local/state

    /// From the environment of this process. A relative $XDG_… value is ignored, as the XDG rules ask.
    static UserFolders FromEnvironment();
};

/// Where the program reads and writes its files. Portable use keeps everything in the program's own folder;
/// installed use reads the shipped files from share/vesk and writes into the user's folders.
struct DataLocations
{
    QString ShippedDir; ///< the definition set and manual that came with the program
    QString UserDataDir; ///< where the update installs definition sets (may not exist yet)
    QString LogParentDir; ///< holds the LOG folder (may not exist yet)
    bool Portable = false;

    /// Everything in `dir`: the portable layout (and what tests use).
    static DataLocations InOneFolder(const QString& dir);
    /// The installed layout: shipped files in `shippedDir`, the rest in the user's folders under "vesk".
    static DataLocations Installed(const QString& shippedDir, const UserFolders& user);
};

/// Decides the layout for the program in `programDir`: portable when that folder holds every file of
/// `definitionFiles` and is writable; otherwise installed, with the shipped files in `programDir` when it holds
/// them (a read-only copy) and else in `shippedFromProgram` (share/vesk relative to the program's folder).
DataLocations LocateData(const QString& programDir, const QStringList& definitionFiles,
                         const QString& shippedFromProgram, const UserFolders& user);

/// Creates the folder that holds the LOG folder with its parents (the log itself creates one level only).
/// False when it cannot be made; the log then stays inactive, as with any other folder it cannot use.
bool MakeLogParentDir(const DataLocations& locations);

} // namespace vesk
