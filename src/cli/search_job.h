/// One search of vesk-query: the one place where the command line builds an engine and runs a query on it.
#pragma once

#include "batch/search_outcome.h"
#include "common/clock.h"

#include <QLocale>
#include <functional>
#include <memory>

namespace vesk {

class DefinitionTables;
class EventWait;
class Frontend;
class HostPacer;
class LogSink;
class RdapSource;
class RdapTransport;
class SharedRdapBootstrap;
class TReg;
class WhoisTransport;

/// Makes a search thread's own transport, waiting through that thread's `wait`.
using TransportFactory = std::function<std::unique_ptr<WhoisTransport>(EventWait& wait)>;
/// Makes a search thread's own RDAP transport (its network access lives on that thread), waiting through `wait`.
using RdapTransportFactory = std::function<std::unique_ptr<RdapTransport>(EventWait& wait)>;

/// What every search of a run shares; read only while searches run.
struct SearchSetup
{
    TReg& Settings;
    LogSink& Log;
    const DefinitionTables& Definitions;
    Clock Now = SystemClock();
    QLocale Locale = QLocale();
    int PauseMilliseconds = 1100;
    /// The RDAP bootstrap registries, read on first need and shared by every search of the run; null: port 43 only.
    SharedRdapBootstrap* Bootstrap = nullptr;
};

/// The roads one search takes, and the wait it waits through.
struct SearchRoad
{
    WhoisTransport& Transport;
    RdapSource* Rdap = nullptr; ///< null: port 43 only
    EventWait& Wait;
};

/// Who watches one search as it runs.
struct SearchWatch
{
    /// Sees every worksheet line and status as they are written; the outcome then keeps neither the lines nor the
    /// exchanges. Null: the outcome keeps both.
    Frontend* Printer = nullptr;
    /// Decides when each query starts; null: the fixed pause before metered queries.
    HostPacer* Pacer = nullptr;
    /// Called with the search's engine just before the search starts and with null when it has ended, so that a
    /// stop request can reach it.
    std::function<void(LookupEngine*)> OnEngine;
    /// Sees every exchange as it ends (only when the outcome keeps the exchanges).
    std::function<void(const ExchangeEntry&)> OnExchange;
};

/// Runs the search for `query` on `road` and gives how it ended. An error that ends the search is kept in the
/// outcome, never thrown.
SearchOutcome RunSearch(const SearchSetup& setup, const SearchRoad& road, const QByteArray& query,
                        const SearchWatch& watch = {});

/// The sentence that the command line writes to standard error for a search that did not end well; empty when it
/// did. `batchRule`: judge as the batch does (a rate-limit notice is no answer).
QString ClosingMessage(const SearchOutcome& outcome, bool batchRule);

} // namespace vesk
