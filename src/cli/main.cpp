// vesk-query: the search of the Vesk window from the command line.

#include "cli/query_command.h"
#include "cli/resolve_option.h"
#include "common/event_wait.h"
#include "common/signal_watch.h"
#include "defs/bootstrap_files.h"
#include "defs/definition_sets.h"
#include "defs/definition_tables.h"
#include "rdap/rdap_client.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "update/definition_update.h"
#include "whois/tcp_transport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    // Blocks of a mebibyte and more (large replies, kept reports) go back to the system when freed. With the
    // allocator's moving threshold they stayed resident, and a batch of large reports held the peak of every
    // search at once.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
    QCoreApplication app(argc, argv);
    // Portable beside its definition files, else installed: shipped files in share/vesk, the rest in the home.
    const vesk::DataLocations locations = vesk::LocateProgramData(QCoreApplication::applicationDirPath());

    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered)
        || !err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered))
        return vesk::QueryCommand::Failure;

    vesk::TReg settings(vesk::TReg::WriteBack::Never);
    vesk::MakeLogParentDir(locations);
    vesk::TLogFile log(locations.LogParentDir, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    vesk::DefinitionTables definitions;
    vesk::EventLoopWait wait;
    vesk::TcpWhoisTransport transport(wait);

    vesk::QueryCommandContext context { settings, log, definitions, transport, wait, {}, {} };
    context.LoadDefinitions = [&] { vesk::LoadCurrentDefinitions(definitions, locations); };
    // The update ends the run: no search needs the bootstrap it refreshes.
    context.UpdateDefinitions = [&] { return vesk::UpdateDefinitions({ settings, log, definitions, locations }); };
    // The bootstrap and the RDAP road are made only when a search is about to use them; a port-43 query pays for
    // neither.
    context.LoadBootstrap = [&locations] { return vesk::LoadRdapBootstrap(locations); };
    context.Routes = &transport.Book();
    // Each search thread of a batch gets its own transport with the routes of --resolve; RDAP hosts follow them too.
    context.MakeTransport = [&transport](vesk::EventWait& threadWait) -> std::unique_ptr<vesk::WhoisTransport> {
        return std::make_unique<vesk::TcpWhoisTransport>(threadWait, transport.Book());
    };
    // ... and its own RDAP client (as the single search does), whose network access belongs to that thread; the
    // routes are only read meanwhile.
    context.MakeRdap = [&transport](vesk::EventWait& threadWait) -> std::unique_ptr<vesk::RdapTransport> {
        return std::make_unique<vesk::HttpRdapTransport>(threadWait, vesk::RdapRoutesOf(transport.Book()));
    };
    // The history lives with the user's other data (beside the program when portable).
    context.HistoryPath = QDir(locations.UserDataDir).filePath(QStringLiteral("history.sqlite"));
    QFile in;
    if (in.open(stdin, QIODevice::ReadOnly))
        context.In = &in;
    // Server text reaches a terminal only with its control characters masked; pipes and files get it unchanged.
    context.OutIsTerminal = isatty(fileno(stdout)) != 0;
    context.ErrIsTerminal = isatty(fileno(stderr)) != 0;

    vesk::QueryCommand command(std::move(context), out, err);
    // Ctrl-C is the stop request; a second one ends the process.
    vesk::SignalWatch interrupts({ SIGINT }, vesk::SignalWatch::Repeat::EndProcess,
                                 [&command] { command.RequestStop(); });
    return command.Run(QCoreApplication::arguments());
}
