/// The exchange observer: what a search tells a script about each server it asked, and the batch's pacing hook.
#pragma once

#include "common/stop_request.h"

#include <QByteArray>
#include <QString>

namespace vesk {

/// One exchange of a search, as a script sees it. Protocol "whois" entries carry Port and the query line; an
/// "rdap" entry carries Url and the parsed answer (JSON text) instead of Port.
struct ExchangeEntry
{
    QByteArray Protocol = "whois";
    QByteArray Host; ///< lower-cased
    int Port = 0; ///< whois only
    QByteArray Url; ///< rdap only
    QByteArray Request; ///< the query line (without its line end) or the request sent
    /// "answered", "no-match", "rate-limited", or the transport's failure token ("refused", "timeout", ...).
    QByteArray Outcome;
    QString FailureText; ///< the worksheet's wording of a failure outcome; empty otherwise
    qint64 ElapsedMs = 0;
    qint64 BytesReceived = 0;
    /// The worksheet text the report wrote from this exchange's reply (after filtering; an RDAP record as rendered),
    /// UTF-8, its lines separated by LF; empty when nothing of the reply was written or when TextFrom places it.
    QByteArray Text;
    /// Where the text stands in the worksheet kept with the search (its UTF-8), so that a reply is not kept twice:
    /// its first byte and its size. -1: the text is Text.
    qsizetype TextFrom = -1;
    qsizetype TextSize = 0;
    QByteArray Answer; ///< rdap only: the parsed answer as compact JSON text; empty when the body was no JSON object
    /// The server answered (also with "no match", or a reply cut short); a rate-limit notice is not an answer.
    bool Answered = false;
};

/// Told about every exchange of the searches of the engine it is given to, on the engine's thread, in report
/// order. No widget, no global: the command line's JSON report and the batch implement it.
class ExchangeObserver
{
public:
    virtual ~ExchangeObserver() = default;
    /// Gives the number by which ExchangeTextWritten names this exchange later.
    virtual int ExchangeDone(const ExchangeEntry& entry) = 0;
    /// The engine judged the reply of the last exchange to show no match for the domain.
    virtual void LastExchangeShowsNoMatch() = 0;
    /// The report wrote `text` (lines separated by LF) from the reply of the exchange numbered `exchange`; a second
    /// piece for the same exchange follows the first on a line of its own.
    virtual void ExchangeTextWritten(int exchange, const QString& text) = 0;
};

/// Decides when a query may start at a host. When an engine has one, it replaces the engine's fixed pause.
class HostPacer
{
public:
    virtual ~HostPacer() = default;
    /// Waits for the turn of `host`; false when `stop` was requested meanwhile.
    virtual bool WaitTurn(const QByteArray& host, const StopRequest& stop) = 0;
};

} // namespace vesk
