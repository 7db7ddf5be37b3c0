/// The main window: query box, worksheet, status line and menus around the lookup engine.
#pragma once

#include "common/clock.h"
#include "common/event_wait.h"
#include "lookup/frontend.h"
#include "lookup/rdap_source.h"
#include "lookup/search_options.h"
#include "settings/data_locations.h"

#include <QFont>
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QShowEvent;
class QTimer;
class QWindow;

namespace vesk {

class DefinitionTables;
class FontDialog;
class TLogFile;
class LookupEngine;
class RdapTransport;
struct RdapBootstrap;
class MessageSink;
class TLumariaButton;
class TReg;
class WhoisTransport;

/// The main window: the search panel on the left (pictures, query box, search and stop buttons), the worksheet
/// on the right, the status line below and the main menu. It is the engine's front end. Every command runs
/// under the general error report: an error that escapes it is shown in a message box and the window carries on.
class TfrmMain : public QMainWindow, public Frontend
{
    Q_OBJECT

public:
    /// Runs the definition update; true when it succeeded.
    using UpdateFunction = std::function<bool()>;
    /// Asks the user where to save the worksheet, starting at `startPath`; the empty text when cancelled.
    using SaveDialogFunction = std::function<QString(const QString& startPath)>;

    /// The window from its layout (panels, pictures, labels, status bar); BuildMainWindow completes it.
    /// Everything passed is borrowed and outlives the window. `locations` tells where the definition sets, their
    /// updates and the manual lie.
    TfrmMain(TReg& settings, TLogFile& log, DefinitionTables& definitions, WhoisTransport& transport,
             MessageSink& messages, DataLocations locations, Clock clock = SystemClock());
    /// Writes "< End Vesk? >" to the log.
    ~TfrmMain() override;

    /// Run once before the message loop: logs the start with the version, creates the worksheet, the font
    /// dialog, the start-up timer, the menu, the buttons and the query box, and applies the worksheet font.
    void BuildMainWindow();

    /// Replaces the definition update that the options dialog and the start-up check run.
    void SetUpdateFunction(UpdateFunction update) { m_update = std::move(update); }
    /// The RDAP road of the searches and the bootstrap registries that the update refreshes (both borrowed).
    void SetRdap(RdapTransport* transport, RdapBootstrap* bootstrap);
    /// What the searches start from besides the settings (the pause, an observer, a pacer); the search settings
    /// are read from the settings store at each search.
    void SetSearchOptions(const SearchOptions& options) { m_searchOptions = options; }
    /// Replaces the file dialog of the save command.
    void SetSaveDialogFunction(SaveDialogFunction dialog) { m_saveDialog = std::move(dialog); }

    /// Whether a search is running (further down this thread's stack: searches run inside the handler that
    /// started them and process the window's events while they wait).
    bool IsSearching() const { return m_searching; }

    // --- Commands (the menu, buttons and keys run these; tests call them directly).
    /// Searches for the query box text as it is now. Asked while a search runs (from inside its event
    /// processing), it stops that search as StopSearch does and runs once the running search has returned; the
    /// latest such request wins.
    void Search();
    void StopSearch();
    void NewSearch();
    /// Asks for a file (starting in the folder of the last save of this run, at first the user's documents
    /// folder) and saves the worksheet there.
    void SaveWorksheetAs();
    /// Writes the worksheet as UTF-8 text; false (after a message box) when the file cannot be written.
    bool SaveWorksheet(const QString& path);
    void PrintWorksheet(QPrinter& printer);
    void ChooseWorksheetFont();
    void ApplyWorksheetFont();
    /// Opens the options dialog; does nothing while a search runs (its Update would replace the definitions the
    /// search is using), when the command is disabled as well.
    void OpenOptions();
    void OpenAbout();
    /// Opens help address 1, 2 or 3 with the desktop's default handler; a message box names the entry and the
    /// address when the desktop could not open it.
    void OpenWebPage(int page);
    /// The monthly automatic update (when due) and the warning about missing definition data. While a search runs
    /// it waits for the search to return.
    void StartupCheck();
    /// The running instance's answer to a second start: restore when minimised, else bring to the front.
    void ActivateFromHandOver();

    /// The help addresses, in menu numbering (1 to 3); page 2 is the manual beside the program.
    static QString WebPageAddress(int page);
    /// The worksheet font that the settings describe (the character set is not used: fonts here cover every
    /// script).
    static QFont WorksheetFontOf(const TReg& settings);
    /// A colour value 0x00BBGGRR as a colour, and back.
    static QColor ColorOfBgr(int bgr);
    static int BgrOfColor(const QColor& color);

    QPlainTextEdit* WorksheetEdit() const { return m_worksheet; }
    QLineEdit* QueryBox() const { return m_queryBox; }
    QLabel* StatusLabel() const { return m_statusLabel; }
    LookupEngine& Engine() { return *m_engine; }
    QTimer* StartupTimer() const { return m_startupTimer; }
    FontDialog* FontChooser() const { return m_fontDialog; }
    /// Where the next save starts.
    QString SaveFolder() const { return m_saveFolder; }

    // --- Frontend
    void AppendLine(const QString& line) override;
    /// The whole batch in one insert: one layout pass and one scroll, however many lines it holds.
    void AppendLines(const QString& lines) override;
    void ClearLines() override;
    void ShowStatus(const QString& text) override;
    void ProcessPendingEvents() override;
    QByteArray QueryText() const override;
    void SetQueryText(const QByteArray& text) override;
    void SetBusy(bool busy) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// While a search runs the close waits: the search is stopped and the window closes once it has returned.
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildMenu();
    /// Runs the requested search, and each one requested while it ran, until none is left.
    void RunRequestedSearches();
    /// Commands that must not run inside a search are enabled only between searches.
    void UpdateSearchCommands();
    /// Moves the window, and sizes it down if need be, so that its frame lies inside its screen's free area.
    void FitIntoScreen();
    void OnFocusWindowChanged(QWindow* window);
    void OnActivate();
    void EditCommand(int command);
    /// The general error report around one command.
    void RunCommand(const std::function<void()>& command);

    TReg& m_settings;
    TLogFile& m_log;
    DefinitionTables& m_definitions;
    WhoisTransport& m_transport;
    MessageSink& m_messages;
    DataLocations m_locations;
    Clock m_clock;
    UpdateFunction m_update;
    EventLoopWait m_wait; ///< the engine's pauses keep the window responsive and end at a stop
    SaveDialogFunction m_saveDialog;
    QString m_saveFolder;
    std::unique_ptr<LookupEngine> m_engine;
    RdapBootstrap* m_bootstrap = nullptr;
    FixedRdapSource m_rdapSource; ///< the searches' RDAP road, with the bootstrap above
    SearchOptions m_searchOptions;

    QWidget* m_leftPanel = nullptr;
    QWidget* m_documentPanel = nullptr;
    QLabel* m_background = nullptr;
    QLabel* m_statusLabel = nullptr;
    QPlainTextEdit* m_worksheet = nullptr;
    QLineEdit* m_queryBox = nullptr;
    TLumariaButton* m_searchButton = nullptr;
    TLumariaButton* m_stopButton = nullptr;
    FontDialog* m_fontDialog = nullptr;
    QTimer* m_startupTimer = nullptr;
    QAction* m_optionsAction = nullptr;
    bool m_built = false;
    bool m_placed = false;
    // The search state: a search runs; another was asked for meanwhile (with its own copy of the query); the
    // window was asked to close meanwhile; the start-up check came due meanwhile.
    bool m_searching = false;
    bool m_searchRequested = false;
    QString m_requestedQuery;
    QString m_searchQuery;
    bool m_closeRequested = false;
    bool m_startupCheckDue = false;
    bool m_welcomed = false;
    bool m_lastFocusWasForm = false;
    int m_busyDepth = 0;
};

} // namespace vesk
