/// The main window: query box, worksheet, status line and menus around the lookup engine.
#pragma once

#include "app/search_queue.h"
#include "app/worksheet_file.h"
#include "common/clock.h"
#include "common/event_wait.h"
#include "lookup/frontend.h"
#include "lookup/rdap_source.h"
#include "lookup/search_options.h"
#include "settings/data_locations.h"
#include "update/definition_update.h"

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
/// Its controls are named for what they do ("queryLineEdit", "worksheet", "statusLine", "searchButton").
class TfrmMain : public QMainWindow, public Frontend
{
    Q_OBJECT

public:
    /// Runs the definition update and tells how it went.
    using UpdateFunction = std::function<UpdateOutcome()>;

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
    /// The options of a search started now: those set above with the settings as they are now.
    SearchOptions SearchOptionsNow() const { return m_searchOptions.WithSettings(m_settings); }
    /// Replaces the file dialog of the save command.
    void SetSaveDialogFunction(WorksheetSavePlace::Dialog dialog) { m_savePlace.SetDialog(std::move(dialog)); }

    // --- Commands (the menu, buttons and keys run these).
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
    /// Gives the worksheet the keyboard focus and selects all of its text.
    void SelectWholeWorksheet();
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
    /// Runs `command` under the general error report: an error that escapes it is shown in a message box.
    void RunCommand(const std::function<void()>& command);

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
    void BuildLeftPanel();
    /// The welcome block and the start-up timer, at the window's first activation only.
    void OnFirstActivation();
    TReg& m_settings;
    TLogFile& m_log;
    DefinitionTables& m_definitions;
    WhoisTransport& m_transport;
    MessageSink& m_messages;
    DataLocations m_locations;
    Clock m_clock;
    UpdateFunction m_update;
    EventLoopWait m_wait; ///< the engine's pauses keep the window responsive and end at a stop
    WorksheetSavePlace m_savePlace;
    std::unique_ptr<LookupEngine> m_engine;
    RdapBootstrap* m_bootstrap = nullptr;
    SearchQueue m_searches;
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
    QMetaObject::Connection m_firstActivation;
    bool m_built = false;
    bool m_placed = false;
    int m_busyDepth = 0;
};

} // namespace vesk
