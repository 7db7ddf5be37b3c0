/// The lookup engine: turns the query box into one report in the worksheet.
#pragma once

#include "common/clock.h"
#include "common/event_wait.h"
#include "common/stop_request.h"
#include "lookup/exchange_observer.h"
#include "lookup/frontend.h"
#include "lookup/worksheet.h"
#include "whois/transport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QUrl>
#include <functional>

namespace vesk {

class DefinitionTables;
class RdapTransport;
struct RdapAnswer;
struct RdapBootstrap;

class EventWait;
class LogSink;
class TReg;

/// The record that the domain details lookup wrote: which server answered and its reply as written (after the
/// comment filtering that the settings asked for). Host is empty when nothing was written.
struct DomainRecord
{
    QByteArray Host;
    HostSource Source = HostSource::Fixed;
    QByteArray Reply;
    int Exchange = -1; ///< the observer's number of the exchange the record came from; -1: none told
};

/// Whether a query waits the metering pause before it connects.
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

/// Turns the query of the query box into one report in the worksheet: classifies it and runs the address
/// report, the domain report (with its domain, network and contact lookups) or the plain query. Everything runs
/// on the caller's thread; the front end's ProcessPendingEvents and the waits may start a stop request inside a
/// running search. The engine keeps its state to itself (its stop request included), so each search may have its
/// own engine and transport.
class LookupEngine
{
public:
    /// Everything is borrowed and must outlive the engine. `wait` carries the pauses and the exchanges' waits
    /// while the window keeps handling its events; `log` takes the query records; `clock` dates the header boxes.
    LookupEngine(Frontend& frontend, TReg& settings, LogSink& log, const DefinitionTables& definitions,
                 WhoisTransport& transport, EventWait& wait, Clock clock = SystemClock());

    /// Runs one search for the query box text. The busy cursor is on meanwhile. However the search ends, the
    /// cursor is restored and the stop flag set before an error leaves: QueryTooLongError for a query of more than
    /// 255 characters (nothing is written then), or whatever escaped a report (the worksheet keeps its lines).
    void Search();
    /// The stop request: when no stop is pending, sets the stop flag and shows the stopping message. The exchange
    /// or pause in progress ends at once; the query it belongs to writes "search stopped", every later query of the
    /// running search returns empty at once without a word.
    void StopSearch();
    /// True between searches and after a stop request; false while a search runs.
    bool StopFlag() const { return m_stop.IsRequested(); }
    /// The stop request that the transport and the waits of this engine's searches watch.
    const StopRequest& Stop() const { return m_stop; }

    /// Whether a server of the last search sent any reply (also "no match").
    bool AnyServerAnswered() const { return m_anyAnswered; }
    /// Whether the last search was stopped by a stop request.
    bool WasStopped() const { return m_stopped; }

    Worksheet& Sheet() { return m_sheet; }

    /// What the last search's query was taken for.
    enum class QueryKind : uint8_t { Domain, Address, Plain };
    QueryKind LastQueryKind() const { return m_kind; }

    /// Told about every exchange from now on; null: nobody. Borrowed.
    void SetExchangeObserver(ExchangeObserver* observer) { m_observer = observer; }
    /// Decides when each query starts, instead of the fixed pause before metered queries; null: the fixed pause.
    void SetHostPacer(HostPacer* pacer) { m_pacer = pacer; }

    /// The RDAP road: without it (or without a bootstrap) the reports use port 43 only. Both are borrowed.
    void SetRdap(RdapTransport* transport, const RdapBootstrap* bootstrap)
    {
        m_rdap = transport;
        m_bootstrap = bootstrap;
    }

    /// The pause before queries that servers meter (ARIN, contact handles); 1100 ms unless changed.
    void SetPauseMilliseconds(int milliseconds) { m_pauseMs = milliseconds; }
    int PauseMilliseconds() const { return m_pauseMs; }

    // --- The operations of a search, public so that the window's commands and the tests can run one alone.

    /// One exchange with `host`:`port`: shows the connecting status, lets the window repaint, optionally pauses,
    /// and gives every byte that arrived with the reason it ended early. Once the stop flag is set it asks
    /// nothing: the first query to meet the stop gives ExchangeFailure::Stopped, every later one is also Silent.
    /// The status line is blank afterwards on every path.
    ServerAnswer QueryServer(const QByteArray& host, const QByteArray& query, int port, Pause pause, HostSource source);

    /// IPv4 addresses of `host` in resolver order, as dotted texts, into `addresses` (emptied first); at most the
    /// first 100. Gives the empty text on success and the fixed failure message when the trimmed host is empty or
    /// does not resolve.
    QByteArray ResolveHostAddresses(QByteArrayView host, QList<QByteArray>& addresses);

    /// True when the last label of `text` is a top-level domain of the definitions.
    bool HasKnownTld(QByteArrayView text) const;

    /// The address report for the IPv4 address in the query box.
    void AddressReport();
    /// The query box text sent unchanged to the .com/.net registry's server; its reply written under a header.
    void PlainQuery();
    /// The full report for the domain name in the query box.
    void DomainReport();
    /// Asks the domain's WHOIS server `server` (following the registry's referral, fetching RWhois contacts) and
    /// writes the record or the no-match line. Gives what it wrote; nothing for an empty `server`.
    DomainRecord DomainDetails(const QByteArray& domain, const QByteArray& server);
    /// Writes the network details of `address`, starting at ARIN, and gives ARIN's address block (CIDR text) or
    /// the empty text.
    QByteArray LookupNetworkDetails(const QByteArray& address);
    /// With "Search Contacts" on: asks the server that gave `record` for each distinct contact handle the record
    /// names (and does not itself hold) and writes each answer under its labels. Writes nothing otherwise.
    void ContactSearch(const QByteArray& domain, const DomainRecord& record);

private:
    QByteArray QueryText() const;
    /// Writes 8-bit text (a reply or a report line) decoded as UTF-8 with Latin-1 fallback, then the incomplete
    /// mark when `from` ended early. The observer learns what was written from exchange `from.Exchange`.
    void WriteReply(QByteArrayView reply, const ServerAnswer& from = {});
    void WriteNoMatch(const QByteArray& domain);
    /// "No answer from HOST: TEXT" for a query that failed, unless it is Silent.
    void WriteNoAnswer(const ServerAnswer& answer);
    void WriteNetworkSection(const QByteArray& address, const QByteArray& host, QByteArrayView reply,
                             const ServerAnswer& from);
    /// The steps before every exchange: the status `status`, the window's events, then the pacer's turn for
    /// `answer.Host` or, without a pacer, the fixed pause when `pause` asks for it. False, with `answer` holding the
    /// stop, when a stop is met before or after them.
    bool ReadyToAsk(ServerAnswer& answer, const QByteArray& status, Pause pause);
    /// Tells the observer, if there is one, about an exchange that gave `result` after `elapsedMs`. `entry` holds
    /// what only its protocol knows (port or URL, request, answer, Answered, an Outcome that overrides the rule);
    /// the host's case, time, bytes, and the outcome of a failure are filled in here. Gives the observer's number
    /// for the exchange, -1 without an observer.
    int TellExchange(ExchangeEntry entry, const ExchangeResult& result, qint64 elapsedMs);
    QByteArray NetworkDetails(const QByteArray& address, bool& wrote, ServerAnswer& lastAsked);

    enum class RdapUse : uint8_t { Never, Fallback, First };
    /// How the domain details use RDAP in this search (Never without a transport or bootstrap).
    RdapUse RdapUseNow() const;
    /// The RDAP base URL for `domain`, empty when RDAP is not to be used or the TLD has none.
    QByteArray RdapBaseFor(const QByteArray& domain) const;
    /// One RDAP exchange with the status line, pacing, stop, answered and observer bookkeeping of QueryServer. A
    /// 2xx answer is read into `parsed`; one that `usable` refuses is an ExchangeFailure::BadRdap. A 404 is "no
    /// match" to the observer when `notFoundIsNoMatch` (the first server asked for a domain).
    ServerAnswer AskRdap(const QUrl& url, HostSource source, bool notFoundIsNoMatch,
                         const std::function<bool(const RdapAnswer&)>& usable, RdapAnswer& parsed);
    /// The domain details from RDAP at `base`. `firstAsked`: a 404 means "no match". `registry` (may be null): the
    /// port-43 registry record in hand, written when the registrar gives no answer. `failed` is set when the RDAP
    /// server gave no answer (its line is written then; the caller may go on to port 43).
    DomainRecord RdapDomainDetails(const QByteArray& domain, const QByteArray& base, bool firstAsked,
                                   const DomainRecord* registry, bool& failed);
    /// Writes the RDAP record `text` that `from` gave under the source box of its host.
    void WriteRdapRecord(const QByteArray& domain, const ServerAnswer& from, const QByteArray& text);
    /// Writes the port-43 registry record in hand where the registrar's record would have stood.
    DomainRecord WriteRegistryRecord(const QByteArray& domain, const DomainRecord& registry);
    /// The network details of `address` from the registry the IPv4 bootstrap names; its CIDR text or empty.
    QByteArray RdapNetworkDetails(const QByteArray& address, bool& wrote, ServerAnswer& lastAsked);

    Frontend& m_frontend;
    TReg& m_settings;
    LogSink& m_log;
    const DefinitionTables& m_definitions;
    WhoisTransport& m_transport;
    EventWait& m_wait;
    RdapTransport* m_rdap = nullptr;
    const RdapBootstrap* m_bootstrap = nullptr;
    Worksheet m_sheet;
    StopRequest m_stop;
    bool m_searching = false;
    bool m_stopMet = false; ///< a query of this search has met the stop
    bool m_stopped = false;
    bool m_anyAnswered = false;
    int m_pauseMs = 1100;
    QueryKind m_kind = QueryKind::Plain;
    ExchangeObserver* m_observer = nullptr;
    HostPacer* m_pacer = nullptr;
};

} // namespace vesk
