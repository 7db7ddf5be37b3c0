/// The main window: query box, worksheet, status line and menus around the lookup engine.
#pragma once

#include "common/clock.h"
#include "common/event_wait.h"
#include "lookup/frontend.h"
#include "settings/data_locations.h"

#include <QFont>
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QTimer;
class QWindow;

namespace vesk {

class DefinitionTables;
class FontDialog;
class TLogFile;
class LookupEngine;
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

    // --- Commands (the menu, buttons and keys run these; tests call them directly).
    void Search();
    void StopSearch();
    void NewSearch();
    /// Writes the worksheet as UTF-8 text; false (after a message box) when the file cannot be written.
    bool SaveWorksheet(const QString& path);
    void PrintWorksheet(QPrinter& printer);
    void ChooseWorksheetFont();
    void ApplyWorksheetFont();
    void OpenOptions();
    void OpenAbout();
    /// Opens help address 1, 2 or 3 with the desktop's default handler; the result is ignored.
    void OpenWebPage(int page);
    /// The monthly automatic update (when due) and the warning about missing definition data.
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

    // --- Frontend
    void AppendLine(const QString& line) override;
    void ClearLines() override;
    void ShowStatus(const QString& text) override;
    void ProcessPendingEvents() override;
    QByteArray QueryText() const override;
    void SetQueryText(const QByteArray& text) override;
    void SetBusy(bool busy) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenu();
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
    std::unique_ptr<LookupEngine> m_engine;

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
    bool m_built = false;
    bool m_welcomed = false;
    bool m_lastFocusWasForm = false;
    int m_busyDepth = 0;
};

} // namespace vesk
