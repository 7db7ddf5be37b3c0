/// vesk-query's command: options, the search or the update, and the exit status.
#pragma once

#include "cli/batch_run.h"
#include "common/clock.h"
#include "update/definition_update.h"

#include <QIODevice>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace vesk {

class AddressBook;
class DefinitionTables;
class EventWait;
class LogSink;
class HistoryStore;
class LookupEngine;
class TReg;
class WhoisTransport;
class RdapTransport;
struct RdapBootstrap;
class SharedRdapBootstrap;

/// What vesk-query works with; main builds the real ones, tests their own.
struct QueryCommandContext
{
    TReg& Settings; ///< read; the options override its values in memory only
    LogSink& Log;
    DefinitionTables& Definitions;
    WhoisTransport& Transport;
    EventWait& Wait; ///< the pauses between metered queries
    /// Fills Definitions (from the definition set in use); may throw with a message.
    std::function<void()> LoadDefinitions;
    /// The definition update and what it did.
    std::function<UpdateOutcome()> UpdateDefinitions;
    /// The single search's RDAP road; null: made by MakeRdap at the first RDAP exchange.
    RdapTransport* Rdap = nullptr;
    /// The bootstrap registries; null: read by LoadBootstrap when a search first looks a server up in them.
    const RdapBootstrap* Bootstrap = nullptr;
    std::function<RdapBootstrap()> LoadBootstrap = nullptr;
    /// The transport's routes, which --resolve adds to; null: --resolve is refused.
    AddressBook* Routes = nullptr;
    Clock Now = SystemClock();
    int PauseMilliseconds = 1100; ///< before the queries that servers meter
    /// Names the month in the header boxes' date; the user's language, as in the window.
    QLocale Locale = QLocale();
    bool OutIsTerminal = false; ///< the report shows on a terminal: control characters from servers are masked
    bool ErrIsTerminal = false; ///< the same for the status echo, and the batch's progress line
    /// A transport for each search thread of a batch (with the routes of --resolve); null: --batch is refused.
    TransportFactory MakeTransport = nullptr;
    /// An RDAP transport for the single search when Rdap is null, and for each search thread of a batch; without
    /// a road (or without bootstrap registries) the searches ask port 43 only.
    RdapTransportFactory MakeRdap = nullptr;
    /// Standard input, for --batch -; null: refused.
    QIODevice* In = nullptr;
    /// The batch's clock for pacing and progress.
    MonotonicClock Monotonic = SteadyClock();
    /// The history store in the data folder; empty: no history unless --history-file names one.
    QString HistoryPath = QString();
};

/// vesk-query: runs exactly the search of the search box for one query and prints the worksheet.
class QueryCommand
{
public:
    enum ExitCode : int { Success = 0, Failure = 1, UsageError = 2, Changed = 3 };

    /// Output goes to `out` (the report, help, version) and `err` (errors, status echo).
    QueryCommand(QueryCommandContext context, QIODevice& out, QIODevice& err);
    ~QueryCommand();

    /// Runs the command line `arguments` (the program name first) and gives the exit status: 0 when a server of
    /// the report answered (or the update was done), 1 when none answered, the search was stopped or ended with an
    /// error, 2 for a usage error.
    int Run(const QStringList& arguments);

    /// Every option the command accepts, as written on a command line ("--help", "-h", ...): the manual page
    /// and the shell completions list the same.
    static QStringList OptionNames();

    /// The user's stop request (Ctrl-C): the running search asks no more servers and ends; Run then gives 1.
    void RequestStop();

private:
    /// The single search: the report printed as it is written, or with `json` as one JSON object at the end.
    /// `changes`: the report ends with what changed since the previous report of the query.
    int Search(const QByteArray& query, bool json, bool echoStatus, bool changes);
    /// --history QUERY: the recorded reports of the query, or with `show` the one at that rank (1 = newest).
    /// The store for the history commands, or null once the reason is said.
    std::unique_ptr<HistoryStore> OpenHistoryOrSay();
    int History(const QString& query, int show);
    /// --history-prune and --history-clear.
    int Retention(bool clear);
    int Batch(const QString& file, const BatchOptions& options);
    int Update();
    /// What the searches of a run share.
    SearchSetup Setup() const;
    int Usage(const QString& message);
    void Error(const QString& message);

    QueryCommandContext m_context;
    std::unique_ptr<SharedRdapBootstrap> m_bootstrap; ///< read once, by the first search that needs it
    QIODevice& m_out;
    QIODevice& m_err;
    LookupEngine* m_engine = nullptr; ///< the running search's engine, for RequestStop
    BatchRun* m_batch = nullptr; ///< the running batch, for RequestStop
    bool m_stopRequested = false;
    HistoryChoice m_history; ///< the store this run uses
};

} // namespace vesk
