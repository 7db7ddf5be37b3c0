/// The engine's test world, shared by the lookup, command-line and fault tests.
#pragma once

#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "lookup/rdap_source.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "support/in_memory_transport.h"
#include "support/recording_frontend.h"
#include "support/test_waits.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace vesk::test {

/// The fixed moment every test report is dated with: 7 March 2024.
QDateTime FixedNow();

/// The definition rows the lookup tests run on: the real profiles of the servers in the recorded replies, and a
/// few TLDs (com, net, uk, fr; "test" served by an RWhois server; "zz" with no server).
DefinitionTables TestDefinitions();

/// One isolated world for the engine: settings in a temporary INI file (never written back), a log in the same
/// folder, the test definitions, an in-memory transport, no RDAP until UseRdap, a recording window, and pauses
/// that take no time. Besides the engine, the world holds the engine's parts built on their own server asker, so
/// a test can run one part alone; those read Options, the searches read Settings.
class LookupWorld
{
public:
    LookupWorld();
    /// Builds the engine on `transport` instead of the in-memory one.
    explicit LookupWorld(WhoisTransport& transport);

    /// Puts `query` into the query box and runs the search with Options and the search settings of Settings.
    void Search(const QByteArray& query);
    /// The RDAP road of the engine and the parts from now on (both borrowed; null: none).
    void UseRdap(RdapTransport* transport, const RdapBootstrap* bootstrap)
    {
        Rdap = FixedRdapSource(transport, bootstrap);
    }

    QTemporaryDir Dir;
    std::unique_ptr<TReg> Settings;
    std::unique_ptr<TLogFile> Log;
    DefinitionTables Definitions;
    InMemoryTransport Transport;
    InstantWait Wait; ///< the engine's pauses
    RecordingFrontend Window;
    FixedRdapSource Rdap;
    /// What the searches and the parts start from: the settings' defaults and no pause.
    SearchOptions Options;
    std::unique_ptr<LookupEngine> Engine;

    // The parts alone, writing to Window.
    Worksheet Sheet;
    ServerAsker Asker;
    RdapDetails RdapPart;
    NetworkDetails Network;
    ContactSearch Contacts;
    DomainDetails Details;
};

/// A text split into worksheet lines the way the worksheet splits it (CR LF, CR or LF each end a line).
QStringList SheetLines(const QString& text);
/// The same for 8-bit text read from the system code page.
QStringList SheetLines(const QByteArray& text);
/// The five lines and the empty line of a header box dated FixedNow().
QStringList HeaderBox(const QString& title);
/// The empty line and four lines of a source box.
QStringList SourceBox(const QString& title, const QString& source);
/// The wire log as readable lines "host:port query [referral]".
QStringList WireLog(const QList<ExchangeRecord>& exchanges);

} // namespace vesk::test

/// Readable failure messages for worksheet lines.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
