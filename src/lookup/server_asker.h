/// The server asker: every exchange of a search with a WHOIS, RWhois or RDAP server, and the search's stop.
#pragma once

#include "common/stop_request.h"
#include "lookup/search_options.h"
#include "whois/transport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QList>
#include <functional>

class QUrl;

namespace vesk {

class EventWait;
class Frontend;
class RdapSource;
class Worksheet;
struct ExchangeEntry;
struct RdapAnswer;
struct RdapBootstrap;

/// Whether a query waits the metering pause (or its pacer turn) before it connects.
enum class Pause : uint8_t { No, Yes };

/// What one query of a report gave: the transport's result and the host asked.
struct ServerAnswer : ExchangeResult
{
    QByteArray Host;
    /// True when an earlier query of the search already met its stop: nothing was asked and nothing is to be said.
    bool Silent = false;
    /// The number the exchange observer gave this exchange (for the text written from it); -1: no observer told.
    int Exchange = -1;
};

/// True for a failure after which the search asks nothing more: a stop, the reply budget used up, the deadline
/// passed. A report does not turn to another server or protocol after one.
inline bool EndsAsking(ExchangeFailure failure)
{
    return failure == ExchangeFailure::Stopped || failure == ExchangeFailure::Budget
        || failure == ExchangeFailure::Deadline;
}

/// Asks servers for the reports and keeps the one record of how the search goes: whether a stop was requested
/// and met, and whether any server answered. Every exchange is prepared the same way (stop check, status, the
/// window's events, pacer turn or fixed pause), and the exchange observer hears of each one and of the text
/// written from it. Within a search, an exchange is skipped once the replies have used up the search's budget or
/// the search has passed its deadline (ExchangeFailure::Budget, ::Deadline; the observer hears of it). Reads the
/// options it was given at each call, so a new search's options apply at once.
class ServerAsker
{
public:
    /// All borrowed. `rdap` may be null (port 43 only); it is asked only right before RDAP is used.
    ServerAsker(Frontend& frontend, Worksheet& sheet, WhoisTransport& transport, RdapSource* rdap, EventWait& wait,
                const SearchOptions& options);

    /// A search starts: no stop, nothing met, nothing answered yet, no reply held, its time counted from now.
    void BeginSearch();
    /// A search ends: the stop flag is set, so that queries of an outer search still running ask nothing.
    void EndSearch();
    /// The stop request: when no stop is pending, sets it and shows the stopping message. The exchange or pause in
    /// progress ends at once; the query it belongs to says "search stopped", every later one returns at once.
    void RequestStop();
    /// True between searches and after a stop request; false while a search runs.
    bool StopRequested() const { return m_stop.IsRequested(); }
    const StopRequest& Stop() const { return m_stop; }
    /// Whether the search was stopped by a stop request while it ran.
    bool WasStopped() const { return m_stopped; }
    /// Whether a server of the search sent any reply (also "no match").
    bool AnyAnswered() const { return m_anyAnswered; }

    /// Shows `status` and lets the window handle its events (repaint, a stop click).
    void Announce(const QByteArray& status);

    /// One port-43 exchange with `host`:`port`: shows the connecting status, lets the window repaint, waits its
    /// turn, and gives every byte that arrived with the reason it ended early. Once the stop flag is set it asks
    /// nothing: the first query to meet the stop gives ExchangeFailure::Stopped, every later one is also Silent.
    /// The status line is blank afterwards on every path.
    ServerAnswer Ask(const QByteArray& host, const QByteArray& query, int port, Pause pause, HostSource source);

    /// One RDAP GET of `url`, prepared like Ask but without the fixed pause. A 2xx answer is read into `parsed`;
    /// one that `usable` refuses is an ExchangeFailure::BadRdap. A 404 is "no match" to the observer when
    /// `notFoundIsNoMatch` (the first server asked for a domain). Only a usable answer or that "no match" counts as
    /// a server having answered for AnyAnswered.
    ServerAnswer AskRdap(const QUrl& url, HostSource source, bool notFoundIsNoMatch,
                         const std::function<bool(const RdapAnswer&)>& usable, RdapAnswer& parsed);
    /// The RDAP bootstrap to look a server up in; null when the options say never or there is no RDAP.
    const RdapBootstrap* RdapBootstrapNow();
    /// The bootstrap registries whatever the RDAP mode, for choosing a port-43 registry by them; null when there is
    /// no RDAP road at all.
    const RdapBootstrap* RegistryBootstrap();

    /// The addresses of `host` into `addresses` (emptied first): its IPv4 addresses in resolver order as dotted
    /// texts, then its IPv6 addresses in resolver order in their canonical text; at most the first 100 in all.
    /// The IPv6 lookup ends with the search's deadline or stop. Gives the empty text on success and the fixed
    /// failure message when the trimmed host is empty or has no address of either family.
    QByteArray ResolveHostAddresses(QByteArrayView host, QList<QByteArray>& addresses);
    /// The domain name of `address` from the resolver; empty when it has none.
    QByteArray ReverseName(uint32_t address);
    /// The same for the IPv6 `address` (canonical text).
    QByteArray ReverseName6(const QByteArray& address);

    /// Writes 8-bit text (a reply or a report line) decoded as UTF-8 with Latin-1 fallback, then the incomplete
    /// mark when `from` ended early. The observer learns what was written from exchange `from.Exchange`.
    void WriteReply(QByteArrayView reply, const ServerAnswer& from = {});
    /// Tells the observer that the text written for a record shown from several answers holds `text` from the
    /// answer of `from`; writes nothing.
    void TellTextWritten(QByteArrayView text, const ServerAnswer& from);
    /// "No Match For Domain: DOMAIN"; the observer learns that the last exchange showed no match.
    void WriteNoMatch(const QByteArray& domain);
    /// "No answer from HOST: TEXT" for a query that failed, unless it is Silent.
    void WriteNoAnswer(const ServerAnswer& answer);

    Worksheet& Sheet() { return m_sheet; }

private:
    /// The steps before every exchange; false, with `answer` holding the stop or the limit, when a stop is met or
    /// a limit reached before or after them.
    bool ReadyToAsk(ServerAnswer& answer, const QByteArray& status, Pause pause);
    /// The search's limit that the next exchange would pass: Budget, Deadline, or None (also outside a search).
    ExchangeFailure LimitReached() const;
    qint64 SteadyNow() const;
    /// Records what an exchange that gave `answer` means for the search: answered, stop met.
    void Record(const ServerAnswer& answer, bool answered);
    /// Tells the observer about an exchange that a limit skipped.
    void TellSkipped(ExchangeEntry entry, ServerAnswer& answer);
    /// Tells the observer, if there is one, about an exchange that gave `result` after `elapsedMs`; gives the
    /// observer's number for it, -1 without an observer.
    int TellExchange(ExchangeEntry entry, const ExchangeResult& result, qint64 elapsedMs);

    Frontend& m_frontend;
    Worksheet& m_sheet;
    WhoisTransport& m_transport;
    RdapSource* m_rdap;
    EventWait& m_wait;
    const SearchOptions& m_options;
    StopRequest m_stop;
    bool m_searching = false;
    bool m_stopMet = false; ///< a query of this search has met the stop
    bool m_stopped = false;
    bool m_anyAnswered = false;
    qint64 m_replyBytes = 0; ///< what the search's replies hold
    qint64 m_startedMs = 0; ///< on SteadyNow's clock
    QElapsedTimer m_steady;
};

} // namespace vesk
