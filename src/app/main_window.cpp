#include "app/main_window.h"

#include "app/font_dialog.h"
#include "app/jpeg_image.h"
#include "app/message_box.h"
#include "app/options_dialog.h"
#include "app/shell_open.h"
#include "app/splash_window.h"
#include "app/window_label.h"
#include "app/window_placement.h"
#include "app/worksheet_file.h"
#include "common/app_version.h"
#include "defs/definition_tables.h"
#include "defs/scrambled_text.h"
#include "lookup/lookup_engine.h"
#include "lookup/status_at_exit.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "update/definition_update.h"
#include "widgets/desktop_font.h"
#include "widgets/glyph_button.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <QtMath>
#include <exception>

namespace vesk {

namespace {

// Captions, the query box's face, help addresses and a few messages stand scrambled in the program.
constexpr auto kSearchCaption = Scramble<1>("Search");
constexpr auto kStopCaption = Scramble<2>("Stop Search");
constexpr auto kQueryFontFace = Scramble<4>("Tahoma");

constexpr auto kFileMenu = Scramble<5>("&File");
constexpr auto kNewSearch = Scramble<5>("&New Search");
constexpr auto kSaveWorksheet = Scramble<5>("&Save Worksheet As...");
constexpr auto kPrintWorksheet = Scramble<5>("&Print Worksheet...");
constexpr auto kCloseCommand = Scramble<5>("&Close");
constexpr auto kEditMenu = Scramble<6>("&Edit");
constexpr auto kCopyCommand = Scramble<6>("&Copy");
constexpr auto kCutCommand = Scramble<6>("Cu&t");
constexpr auto kPasteCommand = Scramble<6>("&Paste");
constexpr auto kClearCommand = Scramble<6>("C&lear Worksheet");
constexpr auto kSelectAllCommand = Scramble<6>("Select &All");
constexpr auto kSettingsMenu = Scramble<7>("&Settings");
constexpr auto kFontCommand = Scramble<7>("&Font...");
constexpr auto kOptionsCommand = Scramble<7>("&Options...");
constexpr auto kHelpMenu = Scramble<2>("&Help");
constexpr auto kWebPage1Caption = Scramble<2>("IANA &Root Zone Database");
constexpr auto kWebPage2Caption = Scramble<2>("Vesk? &Manual");
constexpr auto kWebPage3Caption = Scramble<2>("ICANN Registration &Data Lookup");
constexpr auto kAboutCommand = Scramble<2>("&About Vesk?");

constexpr auto kWebPage1 = Scramble<1>("https://www.iana.org/domains/root/db");
constexpr auto kWebPage2 = Scramble<1>("vesk-manual.html");
constexpr auto kWebPage3 = Scramble<1>("https://lookup.icann.org");

constexpr auto kUpdatingStatus = Scramble<0>("Wait....  Updating the definition files");
constexpr auto kMissingDefinitions1 = Scramble<0>("The definition files are missing or damaged: searches by domain "
                                                  "name cannot find their WHOIS servers.");
constexpr auto kMissingDefinitions2 = Scramble<0>("Please open Settings > Options and press \"Update\".");

template <std::size_t N> QString Plain(const ScrambledText<N>& text)
{
    return QString::fromLatin1(text.Text());
}

enum EditCommandId { kCopy, kCut, kPaste };

// The left panel keeps its search controls in view: the stop button, the lowest of them, ends at 238.
constexpr int kLeftPanelMinimumHeight = 238 + 8;
// Lines per paragraph of the worksheet's document: few enough that laying one out stays cheap.
constexpr qsizetype kLinesPerParagraph = 32;

// A report is 66 columns wide: its box rules.
constexpr int kReportColumns = 66;

// A menu caption without its keyboard marks.
QString MenuText(const QString& caption)
{
    QString text = caption;
    return text.remove(QLatin1Char('&'));
}

// The width a worksheet needs to show a box rule of a report on one line, at `font`.
int WorksheetWidthForReports(const QPlainTextEdit& sheet, const QFont& font)
{
    const int rule = QFontMetrics(font).horizontalAdvance(QString(kReportColumns, QChar(0x2550)));
    const int margins = 2 * qCeil(sheet.document()->documentMargin()) + 2 * sheet.frameWidth();
    // One pixel for the cursor at the end of the line, which would otherwise wrap it.
    return rule + margins + sheet.verticalScrollBar()->sizeHint().width() + 1;
}

QLabel* AddPanelLabel(QWidget* panel, const QString& name, const QString& text, const QFont& font, int x, int y)
{
    // The panel's labels are white on its picture.
    QLabel* label = AddLabel(panel, name, text, font, x, y);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
}

bool IsOurForm(QWindow* window)
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            return widget->property("veskForm").toBool();
    }
    return false;
}

} // namespace

TfrmMain::TfrmMain(TReg& settings, TLogFile& log, DefinitionTables& definitions, WhoisTransport& transport,
                   MessageSink& messages, DataLocations locations, Clock clock)
    : m_settings(settings)
    , m_log(log)
    , m_definitions(definitions)
    , m_transport(transport)
    , m_messages(messages)
    , m_locations(std::move(locations))
    , m_clock(std::move(clock))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vesk? {WHOIS In Details} "));
    setFont(DesktopFont(QStringLiteral("MS Sans Serif"), 11));
    setGeometry(410, 314, 900, 600);

    m_update = [this] {
        return UpdateDefinitions(
            m_settings, m_log, m_definitions, m_locations, [this](bool busy) { SetBusy(busy); }, m_bootstrap);
    };
    m_saveDialog = [this](const QString& startPath) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save Worksheet"), startPath,
                                            QStringLiteral("Text files (*.txt);;All files (*)"));
    };
    m_saveFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (m_saveFolder.isEmpty())
        m_saveFolder = QDir::homePath();

    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);

    m_leftPanel = new QWidget(central);
    m_leftPanel->setObjectName(QStringLiteral("leftPanel"));
    m_leftPanel->setFixedWidth(178);
    m_leftPanel->setMinimumHeight(kLeftPanelMinimumHeight);
    m_leftPanel->installEventFilter(this);
    auto* banner = new QLabel(m_leftPanel);
    banner->setObjectName(QStringLiteral("bannerPicture"));
    banner->setPixmap(QPixmap::fromImage(LoadShippedPicture(QStringLiteral("banner.jpg"))));
    banner->setGeometry(1, 1, 176, 68);
    m_background = new QLabel(m_leftPanel);
    m_background->setObjectName(QStringLiteral("backgroundPicture"));
    m_background->setScaledContents(true);
    m_background->setPixmap(QPixmap::fromImage(LoadShippedPicture(QStringLiteral("background.jpg"))));
    m_background->setGeometry(1, 69, 176, 426);

    AddPanelLabel(m_leftPanel, QStringLiteral("searchLabel"), QStringLiteral("SEARCH:"),
                  DesktopFont(QStringLiteral("Arial"), 13, true), 8, 124);
    AddPanelLabel(m_leftPanel, QStringLiteral("exampleLabel"), QStringLiteral("Example:"),
                  DesktopFont(QStringLiteral("Arial"), 12, true), 8, 172);
    AddPanelLabel(m_leftPanel, QStringLiteral("exampleText"), QStringLiteral("example.com  OR  192.0.2.1"),
                  DesktopFont(QStringLiteral("Arial"), 12, true), 8, 188);

    m_documentPanel = new QWidget(central);
    m_documentPanel->setObjectName(QStringLiteral("documentPanel"));
    auto* documentLayout = new QVBoxLayout(m_documentPanel);
    documentLayout->setContentsMargins(0, 0, 0, 0);

    columns->addWidget(m_leftPanel);
    columns->addWidget(m_documentPanel, 1);
    setCentralWidget(central);

    statusBar()->setFixedHeight(28);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("statusLine"));
    m_statusLabel->setFixedWidth(500);
    statusBar()->addWidget(m_statusLabel);

    m_engine = std::make_unique<LookupEngine>(*this, m_log, m_definitions, m_transport, &m_rdapSource, m_wait, m_clock);
}

void TfrmMain::SetRdap(RdapTransport* transport, RdapBootstrap* bootstrap)
{
    m_bootstrap = bootstrap;
    m_rdapSource = FixedRdapSource(transport, bootstrap);
}

TfrmMain::~TfrmMain()
{
    if (m_built)
        m_log.WriteLog("< End Vesk? >");
    while (m_busyDepth > 0)
        SetBusy(false);
}

void TfrmMain::BuildMainWindow()
{
    if (m_built)
        return;
    // The header box's date names its month in the user's language.
    m_engine->Sheet().SetLocale(QLocale());

    TAppVersion version;
    GetAppVersion(version);
    m_log.WriteLog(QStringLiteral("< Start Vesk? %1.%2.%3.%4 >")
                       .arg(version.Major)
                       .arg(version.Minor)
                       .arg(version.Release)
                       .arg(version.Build)
                       .toLocal8Bit());
    resize(900, 600);

    m_worksheet = new QPlainTextEdit(m_documentPanel);
    m_worksheet->setObjectName(QStringLiteral("worksheet"));
    m_worksheet->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_worksheet->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_worksheet->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next control instead of typing a tab; the window has no other way out of the sheet.
    m_worksheet->setTabChangesFocus(true);
    // Undo would take back whole reports (and keep a record of every line of them).
    m_worksheet->setUndoRedoEnabled(false);
    QFont reportFont(TReg::kDefaultFontName);
    reportFont.setPixelSize(-TReg::kDefaultFontHeight);
    m_worksheet->setMinimumWidth(WorksheetWidthForReports(*m_worksheet, reportFont));
    m_documentPanel->layout()->addWidget(m_worksheet);

    m_fontDialog = new FontDialog(this);
    m_startupTimer = new QTimer(this);
    m_startupTimer->setObjectName(QStringLiteral("startupTimer"));
    m_startupTimer->setSingleShot(true);
    m_startupTimer->setInterval(500);
    connect(m_startupTimer, &QTimer::timeout, this, &TfrmMain::StartupCheck);
    BuildMenu();

    const auto makeButton = [this](const QString& name, const QString& caption, const QRect& place) {
        auto* button = new TLumariaButton;
        button->setObjectName(name);
        // The parent first, so the caption's immediate repaint has a surface.
        button->SetParent(m_leftPanel);
        button->SetCaption(caption);
        button->setGeometry(place);
        button->SetColorDown(QColor(255, 255, 255));
        button->SetColorOver(QColor(128, 128, 128));
        button->show();
        return button;
    };
    m_stopButton = makeButton(QStringLiteral("stopButton"), Plain(kStopCaption), QRect(8, 216, 81, 22));
    connect(m_stopButton, &TLumariaButton::Click, this, &TfrmMain::StopSearch);
    m_searchButton = makeButton(QStringLiteral("searchButton"), Plain(kSearchCaption), QRect(104, 120, 65, 22));
    connect(m_searchButton, &TLumariaButton::Click, this, &TfrmMain::Search);

    m_queryBox = new QLineEdit(m_leftPanel);
    m_queryBox->setObjectName(QStringLiteral("queryLineEdit"));
    m_queryBox->setGeometry(5, 144, 164, 24);
    QFont queryFont = DesktopFont(Plain(kQueryFontFace));
    queryFont.setPointSize(10);
    m_queryBox->setFont(queryFont);
    m_queryBox->show();
    connect(m_queryBox, &QLineEdit::returnPressed, this, &TfrmMain::Search);

    // The query box has the focus when the window first appears; Tab goes on to the buttons and the worksheet.
    setTabOrder(m_queryBox, m_searchButton);
    setTabOrder(m_searchButton, m_stopButton);
    setTabOrder(m_stopButton, m_worksheet);
    m_queryBox->setFocus();

    ApplyWorksheetFont();

    connect(qApp, &QGuiApplication::focusWindowChanged, this, &TfrmMain::OnFocusWindowChanged);
    m_built = true;
    if (isActiveWindow())
        OnActivate();
}

void TfrmMain::BuildMenu()
{
    const auto add = [this](QMenu* menu, const QString& name, const QString& caption, const QKeySequence& keys,
                            const std::function<void()>& command) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        if (!keys.isEmpty())
            action->setShortcut(keys);
        connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
        return action;
    };

    QMenu* file = menuBar()->addMenu(Plain(kFileMenu));
    file->setObjectName(QStringLiteral("fileMenu"));
    add(file, QStringLiteral("actionNewSearch"), Plain(kNewSearch), QKeySequence(Qt::CTRL | Qt::Key_0),
        [this] { NewSearch(); });
    add(file, QStringLiteral("actionSave"), Plain(kSaveWorksheet), QKeySequence(Qt::CTRL | Qt::Key_S),
        [this] { SaveWorksheetAs(); });
    add(file, QStringLiteral("actionPrint"), Plain(kPrintWorksheet), QKeySequence(Qt::CTRL | Qt::Key_P), [this] {
        QPrinter printer;
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() == QDialog::Accepted)
            PrintWorksheet(printer);
    });
    file->addSeparator();
    add(file, QStringLiteral("actionClose"), Plain(kCloseCommand), {}, [this] { close(); });

    QMenu* edit = menuBar()->addMenu(Plain(kEditMenu));
    edit->setObjectName(QStringLiteral("editMenu"));
    add(edit, QStringLiteral("actionCopy"), Plain(kCopyCommand), QKeySequence(Qt::CTRL | Qt::Key_C),
        [this] { EditCommand(kCopy); });
    add(edit, QStringLiteral("actionCut"), Plain(kCutCommand), QKeySequence(Qt::CTRL | Qt::Key_X),
        [this] { EditCommand(kCut); });
    add(edit, QStringLiteral("actionPaste"), Plain(kPasteCommand), QKeySequence(Qt::CTRL | Qt::Key_V),
        [this] { EditCommand(kPaste); });
    edit->addSeparator();
    add(edit, QStringLiteral("actionClear"), Plain(kClearCommand), {}, [this] { m_engine->Sheet().ClearWorksheet(); });
    add(edit, QStringLiteral("actionSelectAll"), Plain(kSelectAllCommand), {}, [this] {
        m_worksheet->setFocus();
        m_worksheet->selectAll();
    });

    QMenu* settings = menuBar()->addMenu(Plain(kSettingsMenu));
    settings->setObjectName(QStringLiteral("settingsMenu"));
    add(settings, QStringLiteral("actionFont"), Plain(kFontCommand), {}, [this] { ChooseWorksheetFont(); });
    settings->addSeparator();
    m_optionsAction
        = add(settings, QStringLiteral("actionOptions"), Plain(kOptionsCommand), {}, [this] { OpenOptions(); });

    QMenu* help = menuBar()->addMenu(Plain(kHelpMenu));
    help->setObjectName(QStringLiteral("helpMenu"));
    add(help, QStringLiteral("actionWebPage2"), Plain(kWebPage2Caption), {}, [this] { OpenWebPage(2); });
    help->addSeparator();
    add(help, QStringLiteral("actionWebPage1"), Plain(kWebPage1Caption), {}, [this] { OpenWebPage(1); });
    add(help, QStringLiteral("actionWebPage3"), Plain(kWebPage3Caption), {}, [this] { OpenWebPage(3); });
    help->addSeparator();
    add(help, QStringLiteral("actionAbout"), Plain(kAboutCommand), {}, [this] { OpenAbout(); });

    // Drop-down menus are windows of their own and would not inherit the bar's font.
    for (QMenu* menu : { file, edit, settings, help })
        menu->setFont(menuBar()->font());
}

void TfrmMain::RunCommand(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& error) {
        m_messages.Show(this, MessageSink::Kind::Error, QString::fromLocal8Bit(error.what()));
    } catch (...) {
        m_messages.Show(this, MessageSink::Kind::Error, QStringLiteral("An unexpected error ended the command."));
    }
}

void TfrmMain::Search()
{
    // The search works on the text as it is now, whatever the query box holds later.
    m_requestedQuery = m_queryBox != nullptr ? m_queryBox->text() : QString();
    m_searchRequested = true;
    if (m_searching) {
        // Asked from inside the running search's event processing: running the new one here would nest it inside
        // the first, whose remaining queries would then come back empty. It runs when the first has returned.
        StopSearch();
        return;
    }
    RunRequestedSearches();
}

void TfrmMain::RunRequestedSearches()
{
    m_searching = true;
    UpdateSearchCommands();
    while (m_searchRequested && !m_closeRequested) {
        m_searchRequested = false;
        m_searchQuery = m_requestedQuery;
        RunCommand([this] { m_engine->Search(m_searchOptions.WithSettings(m_settings)); });
    }
    m_searching = false;
    m_searchQuery.clear();
    UpdateSearchCommands();
    if (m_closeRequested) {
        m_closeRequested = false;
        close();
        return;
    }
    if (m_startupCheckDue) {
        m_startupCheckDue = false;
        StartupCheck();
    }
}

void TfrmMain::UpdateSearchCommands()
{
    if (m_optionsAction != nullptr)
        m_optionsAction->setEnabled(!m_searching);
}

void TfrmMain::StopSearch()
{
    RunCommand([this] { m_engine->StopSearch(); });
}

void TfrmMain::NewSearch()
{
    m_queryBox->clear();
    m_queryBox->setFocus();
}

void TfrmMain::SaveWorksheetAs()
{
    const QString path = m_saveDialog(QDir(m_saveFolder).filePath(QStringLiteral("worksheet.txt")));
    if (path.isEmpty())
        return;
    m_saveFolder = QFileInfo(path).absolutePath();
    SaveWorksheet(path);
}

bool TfrmMain::SaveWorksheet(const QString& path)
{
    QString error;
    if (SaveWorksheetFile(path, m_worksheet->toPlainText(), error))
        return true;
    m_messages.Show(this, MessageSink::Kind::Error,
                    QStringLiteral("The worksheet could not be saved to %1: %2").arg(path, error));
    return false;
}

void TfrmMain::PrintWorksheet(QPrinter& printer)
{
    m_worksheet->print(&printer);
}

void TfrmMain::EditCommand(int command)
{
    // The query box and the worksheet share the three operations but no base class that has them.
    const auto run = [command](auto* editor) {
        if (command == kCopy)
            editor->copy();
        else if (command == kCut)
            editor->cut();
        else
            editor->paste();
    };
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        run(line);
    else if (auto* text = qobject_cast<QPlainTextEdit*>(focus))
        run(text);
}

QFont TfrmMain::WorksheetFontOf(const TReg& settings)
{
    QFont font(settings.FontName);
    if (settings.FontHeight < 0) {
        font.setPixelSize(-settings.FontHeight);
    } else if (settings.FontHeight > 0) {
        // A positive height is the whole cell; the character height is what remains without the leading.
        font.setPixelSize(settings.FontHeight);
        const int cell = QFontMetrics(font).height();
        if (cell > 0)
            font.setPixelSize(qMax(1, settings.FontHeight * settings.FontHeight / cell));
    }
    const FontStyles styles = settings.GetFontStyle();
    font.setBold(styles.Bold);
    font.setItalic(styles.Italic);
    font.setUnderline(styles.Underline);
    font.setStrikeOut(styles.StrikeOut);
    // The character set is kept in the settings but not applied: the fonts here are Unicode fonts.
    return font;
}

QColor TfrmMain::ColorOfBgr(int bgr)
{
    const auto value = static_cast<uint32_t>(bgr);
    return QColor(static_cast<int>(value & 0xff), static_cast<int>((value >> 8) & 0xff),
                  static_cast<int>((value >> 16) & 0xff));
}

int TfrmMain::BgrOfColor(const QColor& color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

void TfrmMain::ApplyWorksheetFont()
{
    if (m_worksheet == nullptr)
        return;
    m_worksheet->setFont(WorksheetFontOf(m_settings));
    QPalette palette = m_worksheet->palette();
    palette.setColor(QPalette::Text, ColorOfBgr(m_settings.FontColor));
    m_worksheet->setPalette(palette);
}

void TfrmMain::ChooseWorksheetFont()
{
    ChosenFont current;
    current.Face = m_settings.FontName;
    current.PointSize = FontDialog::PointsOfHeight(m_settings.FontHeight);
    current.Styles = m_settings.GetFontStyle();
    current.Color = ColorOfBgr(m_settings.FontColor);
    current.Charset = m_settings.FontCharset;
    m_fontDialog->SetChosenFont(current);
    if (m_fontDialog->exec() != QDialog::Accepted)
        return;
    const ChosenFont chosen = m_fontDialog->GetChosenFont();
    m_settings.FontName = chosen.Face;
    m_settings.FontHeight = FontDialog::HeightOfPoints(chosen.PointSize);
    m_settings.FontColor = BgrOfColor(chosen.Color);
    m_settings.SetFontStyle(chosen.Styles);
    m_settings.FontCharset = chosen.Charset;
    ApplyWorksheetFont();
}

void TfrmMain::OpenOptions()
{
    if (m_searching)
        return;
    {
        TfmOption options(m_settings, m_update, m_messages, this);
        options.SetupOptions();
        options.exec();
    }
    ApplyWorksheetFont();
}

void TfrmMain::OpenAbout()
{
    TfmSplash about(this);
    about.SetupSplash();
    about.exec();
}

QString TfrmMain::WebPageAddress(int page)
{
    switch (page) {
    case 1:
        return Plain(kWebPage1);
    case 2:
        return Plain(kWebPage2);
    case 3:
        return Plain(kWebPage3);
    default:
        return {};
    }
}

void TfrmMain::OpenWebPage(int page)
{
    QString address = WebPageAddress(page);
    if (address.isEmpty())
        return;
    // The manual lies with the shipped files; the opener is given no directory, so it gets the whole path.
    const QString caption = page == 1 ? Plain(kWebPage1Caption)
        : page == 2                   ? Plain(kWebPage2Caption)
                                      : Plain(kWebPage3Caption);
    if (page == 2) {
        const QString path = QDir(m_locations.ShippedDir).absoluteFilePath(address);
        if (!QFileInfo::exists(path)) {
            m_messages.Show(this, MessageSink::Kind::Error,
                            QStringLiteral("%1 could not be opened: %2 does not exist.").arg(MenuText(caption), path));
            return;
        }
        address = QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    }
    if (ShellOpen(this, address, {}, {}, kShowNormal) == 0) {
        m_messages.Show(this, MessageSink::Kind::Error,
                        QStringLiteral("%1 could not be opened: the desktop has no program that opens %2")
                            .arg(MenuText(caption), address));
    }
}

void TfrmMain::StartupCheck()
{
    m_startupTimer->stop();
    if (m_searching) {
        // An update would replace the definitions under the running search.
        m_startupCheckDue = true;
        return;
    }
    RunCommand([this] {
        if (AutoUpdateDue(m_settings, m_clock())) {
            m_engine->Sheet().SetStatus(kUpdatingStatus.Text());
            ProcessPendingEvents();
            const StatusAtExit blank(m_engine->Sheet(), QByteArray());
            if (m_update)
                m_update();
        }
    });
    if (!m_definitions.DefinitionsLoaded()) {
        m_messages.Show(this, MessageSink::Kind::Warning,
                        Plain(kMissingDefinitions1) + QStringLiteral("\r\n") + Plain(kMissingDefinitions2));
    }
}

void TfrmMain::ActivateFromHandOver()
{
    if (isMinimized()) {
        showNormal();
        return;
    }
    raise();
    activateWindow();
    QWidget* popup = QApplication::activeModalWidget();
    if (popup != nullptr && popup != this && popup->isVisible() && popup->isEnabled()) {
        popup->raise();
        popup->activateWindow();
    }
}

void TfrmMain::OnFocusWindowChanged(QWindow* window)
{
    if (window == nullptr)
        return;
    if (window != windowHandle()) {
        m_lastFocusWasForm = IsOurForm(window);
        return;
    }
    // The window becomes active anew: at first, and whenever one of the program's own windows (the splash,
    // About or options window) handed the focus back. Message boxes, file and font dialogs and other programs
    // do not count, so closing the warning about missing definitions does not bring it back.
    const bool anew = !m_welcomed || m_lastFocusWasForm;
    m_lastFocusWasForm = false;
    if (anew)
        OnActivate();
}

void TfrmMain::OnActivate()
{
    m_welcomed = true;
    vesk::Worksheet& sheet = m_engine->Sheet();
    sheet.WriteHeaderBox("WELCOME TO VESK? {WHOIS IN DETAILS}");
    sheet.WriteLine(QString());
    sheet.WriteLine(QStringLiteral("Thanks for using Vesk? as your WHOIS Query Tool."));
    sheet.WriteLine(QString());
    m_startupTimer->start();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    if (m_searching) {
        // The search runs further down this stack and uses the window: it is stopped, and the window closes
        // once it has returned. A search asked for meanwhile is dropped.
        m_closeRequested = true;
        m_searchRequested = false;
        StopSearch();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TfrmMain::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        FitIntoScreen();
    }
    QMainWindow::showEvent(event);
}

void TfrmMain::FitIntoScreen()
{
    QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (screen == nullptr)
        screen = this->screen();
    if (screen == nullptr)
        return;
    QMargins frame = windowHandle() != nullptr ? windowHandle()->frameMargins() : QMargins();
    if (frame.isNull())
        frame = kAssumedFrameMargins;
    const QSize minimum = minimumSize().expandedTo(minimumSizeHint()).grownBy(frame);
    const QRect fitted = FitFrameInside(geometry().marginsAdded(frame), screen->availableGeometry(), minimum);
    setGeometry(fitted.marginsRemoved(frame));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    // The background picture fills the rest of the left panel, stretched.
    if (watched == m_leftPanel && event->type() == QEvent::Resize)
        m_background->setGeometry(1, 69, 176, qMax(0, m_leftPanel->height() - 69));
    return QMainWindow::eventFilter(watched, event);
}

// --- Frontend

void TfrmMain::AppendLine(const QString& line)
{
    if (m_worksheet != nullptr)
        m_worksheet->appendPlainText(line);
}

void TfrmMain::AppendLines(const QString& lines)
{
    if (m_worksheet == nullptr)
        return;
    // The text document pays per paragraph (time and memory), so a long reply goes in as paragraphs of several
    // lines held apart by line separators. The text the worksheet gives back is the same: toPlainText turns
    // every separator into a line feed.
    QString text = lines;
    QChar* const chars = text.data();
    qsizetype count = 0;
    for (qsizetype i = 0, size = text.size(); i < size; ++i) {
        if (chars[i] == u'\n' && ++count % kLinesPerParagraph != 0)
            chars[i] = QChar::LineSeparator;
    }
    m_worksheet->appendPlainText(text);
}

void TfrmMain::ClearLines()
{
    if (m_worksheet != nullptr)
        m_worksheet->clear();
}

void TfrmMain::ShowStatus(const QString& text)
{
    m_statusLabel->setText(text);
}

void TfrmMain::ProcessPendingEvents()
{
    QCoreApplication::processEvents();
}

QByteArray TfrmMain::QueryText() const
{
    // A running search reads its own copy: the user may already be typing the next query.
    if (m_searching)
        return m_searchQuery.toLocal8Bit();
    return m_queryBox != nullptr ? m_queryBox->text().toLocal8Bit() : QByteArray();
}

void TfrmMain::SetQueryText(const QByteArray& text)
{
    const QString query = QString::fromLocal8Bit(text);
    if (m_searching)
        m_searchQuery = query;
    if (m_queryBox != nullptr)
        m_queryBox->setText(query);
}

void TfrmMain::SetBusy(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_busyDepth;
    } else if (m_busyDepth > 0) {
        QApplication::restoreOverrideCursor();
        --m_busyDepth;
    }
}

} // namespace vesk
