/// Pending reports: searches saved beside the history store by a program that did not open it, so that a plain
/// search never waits for the store. Whoever opens the store next takes them in (HistoryStore does, before it reads).
#pragma once

#include "history/history_store.h"

#include <QList>
#include <QString>
#include <optional>

namespace vesk {

/// The folder that holds the pending reports of the store at `storePath`: beside it, named after it.
QString PendingFolder(const QString& storePath);

/// Saves `search` (its fields are read when it is taken in) as a pending report of the store at `storePath`,
/// readable by its owner only and whole or not at all. False, with `error` saying why, when it cannot be saved.
bool SavePendingReport(const QString& storePath, const SearchRecord& search, QString& error);

/// A pending report's bytes: the search without its fields.
QByteArray EncodePendingReport(const SearchRecord& search);
/// The search a pending report's bytes hold; none for bytes that are not a whole report (damaged, cut, or of
/// another format), whatever they hold.
std::optional<SearchRecord> DecodePendingReport(QByteArrayView bytes);

/// One pending report as found: its file, and the search it holds (none when the file cannot be read as one).
struct PendingReport
{
    QString File;
    std::optional<SearchRecord> Search;
};

/// The pending reports of the store at `storePath`, oldest first; at most `limit` of them.
QList<PendingReport> FindPendingReports(const QString& storePath, qsizetype limit);

/// Removes every pending report of the store at `storePath`.
void RemovePendingReports(const QString& storePath);

/// How many reports wait for the store at `storePath`, counting up to `limit` at most.
qsizetype CountPendingReports(const QString& storePath, qsizetype limit);

} // namespace vesk
