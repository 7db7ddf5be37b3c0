/// The lookup engine: turns the query box into one report in the worksheet.
#pragma once

#include "common/clock.h"
#include "common/stop_request.h"
#include "lookup/address_report.h"
#include "lookup/as_report.h"
#include "lookup/contact_search.h"
#include "lookup/domain_details.h"
#include "lookup/domain_report.h"
#include "lookup/network_details.h"
#include "lookup/plain_query.h"
#include "lookup/rdap_details.h"
#include "lookup/search_dispatch.h"
#include "lookup/search_options.h"
#include "lookup/server_asker.h"
#include "lookup/worksheet.h"

namespace vesk {

class DefinitionTables;
class EventWait;
class Frontend;
class LogSink;
class RdapSource;
class WhoisTransport;

/// One search, from the query box to the report:
///  1. the busy cursor goes on, the stop flag is cleared, the trimmed query is logged;
///  2. the dispatch takes it for an address, a domain under a known TLD (normalised in the query box) or
///     anything else;
///  3. the address report, the domain report or the plain query writes the report, each asking servers through
///     the one server asker (which keeps the stop and "answered" record);
///  4. however it ends, the cursor is restored and the stop flag set.
/// Everything runs on the caller's thread; the front end's ProcessPendingEvents and the waits may start a stop
/// request, or a second search, inside a running one. Each search may have its own engine and transports.
class LookupEngine
{
public:
    using QueryKind = vesk::QueryKind;

    /// Everything is borrowed and must outlive the engine. `rdap` (may be null: port 43 only) is asked for its
    /// transport and bootstrap only when a search is about to use RDAP. `wait` carries the pauses and the
    /// exchanges' waits while the window keeps handling its events; `log` takes the query records; `clock` dates
    /// the header boxes.
    LookupEngine(Frontend& frontend, LogSink& log, const DefinitionTables& definitions, WhoisTransport& transport,
                 RdapSource* rdap, EventWait& wait, Clock clock = SystemClock());

    /// Runs one search for the query box text with `options`. However it ends, the cursor is restored and the
    /// stop flag set before an error leaves: QueryTooLongError for a query of more than 255 characters (nothing
    /// is written then), or whatever escaped a report (the worksheet keeps its lines).
    void Search(const SearchOptions& options);
    /// The stop request: when no stop is pending, sets the stop flag and shows the stopping message. The exchange
    /// or pause in progress ends at once; the query it belongs to writes "search stopped", every later query of the
    /// running search returns empty at once without a word.
    void StopSearch() { m_asker.RequestStop(); }
    /// True between searches and after a stop request; false while a search runs.
    bool StopFlag() const { return m_asker.StopRequested(); }
    /// The stop request that the transport and the waits of this engine's searches watch.
    const StopRequest& Stop() const { return m_asker.Stop(); }

    /// Whether a server of the last search sent any reply (also "no match").
    bool AnyServerAnswered() const { return m_asker.AnyAnswered(); }
    /// Whether the last search was stopped by a stop request.
    bool WasStopped() const { return m_asker.WasStopped(); }
    /// What the last search's query was taken for.
    QueryKind LastQueryKind() const { return m_kind; }

    Worksheet& Sheet() { return m_sheet; }

private:
    Frontend& m_frontend;
    LogSink& m_log;
    const DefinitionTables& m_definitions;
    SearchOptions m_options; ///< the running search's; every part reads them from here
    Worksheet m_sheet;
    ServerAsker m_asker;
    RdapDetails m_rdap;
    NetworkDetails m_network;
    ContactSearch m_contacts;
    DomainDetails m_details;
    DomainReport m_domainReport;
    AddressReport m_addressReport;
    AsReport m_asReport;
    PlainQuery m_plainQuery;
    QueryKind m_kind = QueryKind::Plain;
};

} // namespace vesk
