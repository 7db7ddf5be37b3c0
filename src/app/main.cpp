#include "app/application.h"
#include "common/signal_watch.h"

#include <QApplication>
#include <csignal>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // A session that ends (SIGTERM, SIGHUP) or Ctrl-C in a terminal closes the window as File > Close does, so the
    // end record is written and the settings are saved.
    const vesk::SignalWatch closeOnSignals({ SIGINT, SIGTERM, SIGHUP }, vesk::SignalWatch::Repeat::Deliver,
                                           [] { vesk::CloseAsExit(); });
    const vesk::StartResult result = vesk::RunApplication();
    return result == vesk::StartResult::StartupError ? 1 : 0;
}
