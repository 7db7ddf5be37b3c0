/// Desktop start-up: lock, splash, then settings, log, definition tables and the main window, in that order.
#pragma once

#include <QString>
#include <functional>

namespace vesk {

class TfrmMain;
class MessageSink;
class WhoisTransport;

/// What a start of the desktop program may be given instead of its defaults (tests use this; the program
/// itself passes nothing).
struct StartOptions
{
    /// Empty: the running program's folder decides the layout (portable or installed, see LocateData); else every
    /// file (definition sets, LOG, manual) is in this folder, as in portable use.
    QString ExecutableDir;
    QString ExecutableName; ///< empty: the running program's file name (names the log)
    QString SettingsFile; ///< empty: the user's own settings store; else an INI file
    QString LockDirectory; ///< empty: the user's runtime folder
    WhoisTransport* Transport = nullptr; ///< null: TCP to the real servers
    MessageSink* Messages = nullptr; ///< null: the message boxes that fit the platform
    int SplashMilliseconds = 1500; ///< how long the splash shows at least, counted from when it appears
    /// Called with the main window once it is shown, before the message loop runs.
    std::function<void(TfrmMain&)> OnMainWindow;
    /// Called when this start found another instance running, after the hand-over and before it ends.
    std::function<void(bool delivered)> OnHandOver;
};

/// How a start ended.
enum class StartResult { Ran, HandedOver, StartupError };

/// The whole run of the desktop program on an existing QApplication: single-instance lock and splash window; a
/// second instance hands over to the first and ends, having read and written no settings and touched no log; the
/// first loads settings, log and definition tables while the splash shows, waits out the rest of the splash
/// time, builds the main window and runs the message loop. At the end the window goes first (its
/// end record), then the tables, the log, and the settings, which are written back; the lock goes last.
/// An error that escapes start-up ("Invalid file format") is shown and ends the run.
StartResult RunApplication(const StartOptions& options = {});

/// The end of the session (SIGTERM, SIGHUP, Ctrl-C in a terminal), run from the event loop: open dialogs close,
/// then the main window closes as File > Close does (once its search has returned, if one runs), so the end record
/// is written and the settings saved. Before there is a main window, the open windows close and the event loop
/// is asked to quit.
void CloseAsExit();

} // namespace vesk
