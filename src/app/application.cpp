#include "app/application.h"

#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/splash_window.h"
#include "common/event_wait.h"
#include "defs/bootstrap_files.h"
#include "defs/definition_sets.h"
#include "defs/definition_tables.h"
#include "rdap/rdap_client.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "whois/tcp_transport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QWindow>
#include <algorithm>
#include <exception>
#include <memory>

namespace vesk {

namespace {

std::unique_ptr<TReg> MakeSettings(const QString& file)
{
    if (file.isEmpty())
        return std::make_unique<TReg>();
    return std::make_unique<TReg>(std::make_unique<QSettings>(file, QSettings::IniFormat), TReg::WriteBack::AtExit,
                                  SystemClock());
}

} // namespace

StartResult RunApplication(const StartOptions& options)
{
    // The lock is named after the title the program has before it takes its own ("vesk").
    InstanceLock lock(QCoreApplication::applicationName(), options.LockDirectory);

    std::unique_ptr<MessageSink> ownMessages;
    MessageSink* messages = options.Messages;
    if (messages == nullptr) {
        ownMessages = MakePlatformMessageSink();
        messages = ownMessages.get();
    }

    // The splash comes first: it needs nothing but its pictures and the version, and everything else loads while
    // it shows.
    QElapsedTimer splashShown;
    splashShown.start();
    QPointer<TfmSplash> splash = new TfmSplash;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    // Closing the main window ends the run, whether or not the splash is still about.
    splash->setAttribute(Qt::WA_QuitOnClose, false);
    splash->SetupSplash();
    splash->SplashMode();
    splash->show();
    splash->repaint();
    QCoreApplication::processEvents();

    if (!lock.IsFirst()) {
        // The running instance owns the settings and the log: a second start reads, writes and renames none of them.
        const bool delivered = lock.ActivatePreviousInstance();
        if (options.OnHandOver)
            options.OnHandOver(delivered);
        delete splash.data();
        return StartResult::HandedOver;
    }

    std::unique_ptr<TReg> settings;
    std::unique_ptr<TLogFile> log;
    std::unique_ptr<DefinitionTables> definitions;
    StartResult result = StartResult::Ran;
    try {
        const DataLocations locations = options.ExecutableDir.isEmpty()
            ? LocateProgramData(QCoreApplication::applicationDirPath())
            : DataLocations::InOneFolder(options.ExecutableDir);
        const QString executableName = options.ExecutableName.isEmpty()
            ? QFileInfo(QCoreApplication::applicationFilePath()).fileName()
            : options.ExecutableName;
        settings = MakeSettings(options.SettingsFile);
        MakeLogParentDir(locations);
        log = std::make_unique<TLogFile>(locations.LogParentDir, executableName);
        definitions = std::make_unique<DefinitionTables>();
        LoadCurrentDefinitions(*definitions, locations);

        QCoreApplication::setApplicationName(QStringLiteral("Vesk?"));
        EventLoopWait wait;
        // The splash stays its full time, counted from when it appeared.
        wait.WaitUntil(std::max(0, options.SplashMilliseconds - static_cast<int>(splashShown.elapsed())), {},
                       StopRequest());

        std::unique_ptr<TcpWhoisTransport> ownTransport;
        WhoisTransport* transport = options.Transport;
        if (transport == nullptr) {
            ownTransport = std::make_unique<TcpWhoisTransport>(wait);
            transport = ownTransport.get();
        }
        TfrmMain window(*settings, *log, *definitions, *transport, *messages, locations);
        // RDAP goes with the program's own transport; an injected one (tests) keeps the reports port 43 only.
        std::unique_ptr<HttpRdapTransport> rdap;
        RdapBootstrap bootstrap;
        if (ownTransport) {
            rdap = std::make_unique<HttpRdapTransport>(wait);
            bootstrap = LoadRdapBootstrap(locations);
            window.SetRdap(rdap.get(), &bootstrap);
        }
        window.BuildMainWindow();
        lock.Listen();
        QObject::connect(&lock, &InstanceLock::ActivateRequested, &window, &TfrmMain::ActivateFromHandOver);
        // The splash goes when the main window takes the focus; also when the desktop never focused the splash
        // itself, so it cannot stay on screen for the whole session.
        if (!splash.isNull()) {
            TfmSplash* shown = splash.data();
            QObject::connect(qApp, &QGuiApplication::focusWindowChanged, shown, [shown, &window](QWindow* focus) {
                if (focus != nullptr && focus == window.windowHandle())
                    shown->close();
            });
        }
        window.show();
        window.raise();
        window.activateWindow();
        if (options.OnMainWindow)
            options.OnMainWindow(window);
        QApplication::exec();
    } catch (const std::exception& error) {
        messages->Show(nullptr, MessageSink::Kind::Error, QString::fromLocal8Bit(error.what()));
        result = StartResult::StartupError;
    }
    delete splash.data();
    // Release in reverse order of creation; the settings write themselves back as they go.
    definitions.reset();
    log.reset();
    settings.reset();
    return result;
}

void CloseAsExit()
{
    // A modal dialog runs a loop of its own inside the window's handler; it goes first. One that refuses stays.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        if (modal->isVisible())
            break;
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* window = qobject_cast<TfrmMain*>(widget);
        if (window != nullptr && window->isVisible()) {
            window->close();
            return;
        }
    }
    QApplication::closeAllWindows();
    QApplication::quit();
}

} // namespace vesk
