/// One search of vesk-query run to completion in memory: its worksheet lines, its exchanges and how it ended.
#pragma once

#include "common/clock.h"
#include "lookup/exchange_observer.h"
#include "lookup/lookup_engine.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QStringList>
#include <functional>

namespace vesk {

class DefinitionTables;
class EventWait;
class LogSink;
class RdapTransport;
struct RdapBootstrap;
class TReg;
class WhoisTransport;

/// What every search of a run shares; read only while searches run.
struct SearchSetup
{
    TReg& Settings;
    LogSink& Log;
    const DefinitionTables& Definitions;
    Clock Now = SystemClock();
    QLocale Locale = QLocale();
    int PauseMilliseconds = 1100;
    /// The RDAP bootstrap registries; null (or no RDAP transport for the search): port 43 only.
    const RdapBootstrap* Bootstrap = nullptr;
};

/// How one search ended, with everything it wrote.
struct SearchOutcome
{
    QByteArray Typed; ///< the query as given
    QByteArray Sent; ///< the query as the engine sent it
    LookupEngine::QueryKind Kind = LookupEngine::QueryKind::Plain;
    QDateTime Started;
    QDateTime Ended;
    QStringList Lines; ///< the worksheet, one entry per line, as the text mode prints it
    QList<ExchangeEntry> Exchanges; ///< in report order
    QString Error; ///< the error that ended the search, if one did
    bool Stopped = false;
    bool EngineAnswered = false; ///< a server sent something (the single run's rule)
    bool NotRun = false; ///< a batch ended before this query began

    /// The exit status of a single run: 0 when a server answered, 1 when none did, on a stop or an error.
    int ExitStatus() const;
    /// The batch's judgement: a server answered, and not only with a rate-limit notice; no stop, no error.
    bool GotAnswer() const;
    /// The sentence that the command line writes to standard error for a search that did not end well; empty
    /// when it did. `rateLimitCounts`: judge as the batch does.
    QString Complaint(bool batchRule) const;
};

/// Runs the search for `query` on `transport` and `rdap` (null: port 43 only), waiting through `wait` and, when
/// given, `pacer`.
/// `onEngine` is called with the search's engine just before the search starts and with null when it has ended,
/// so that a stop request can reach it; `onExchange` sees every exchange as it ends.
SearchOutcome RunSearch(const SearchSetup& setup, WhoisTransport& transport, RdapTransport* rdap, EventWait& wait,
                        HostPacer* pacer, const QByteArray& query,
                        const std::function<void(LookupEngine*)>& onEngine = {},
                        const std::function<void(const ExchangeEntry&)>& onExchange = {});

} // namespace vesk
