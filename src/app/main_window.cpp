#include "app/main_window.h"

#include "app/font_dialog.h"
#include "app/jpeg_image.h"
#include "app/main_menu.h"
#include "app/message_box.h"
#include "app/options_dialog.h"
#include "app/splash_window.h"
#include "app/startup_check.h"
#include "app/window_label.h"
#include "app/window_placement.h"
#include "app/worksheet_file.h"
#include "app/worksheet_font.h"
#include "app/worksheet_view.h"
#include "common/app_version.h"
#include "defs/definition_tables.h"
#include "defs/scrambled_text.h"
#include "lookup/lookup_engine.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "update/definition_update.h"
#include "widgets/desktop_font.h"
#include "widgets/glyph_button.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>
#include <exception>

namespace vesk {

namespace {

// The buttons' captions and the query box's face stand scrambled in the program.
constexpr auto kSearchCaption = Scramble<1>("Search");
constexpr auto kStopCaption = Scramble<2>("Stop Search");
constexpr auto kQueryFontFace = Scramble<4>("Tahoma");

template <std::size_t N> QString Plain(const ScrambledText<N>& text)
{
    return QString::fromLatin1(text.Text());
}

// The left panel keeps its search controls in view: the stop button, the lowest of them, ends at 238.
constexpr int kLeftPanelMinimumHeight = 238 + 8;

QLabel* AddPanelLabel(QWidget* panel, const QString& name, const QString& text, const QFont& font, int x, int y)
{
    // The panel's labels are white on its picture.
    QLabel* label = AddLabel(panel, name, text, font, x, y);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    return label;
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
    , m_savePlace(this)
    , m_searches({ .Run = [this](const QString& query) { RunCommand([this, &query] { SearchAndRecord(query); }); },
                   .Stop = [this] { StopSearch(); },
                   .Close = [this] { close(); },
                   .StartupCheck = [this] { StartupCheck(); },
                   // Commands that must not run inside a search are enabled only between searches.
                   .SearchingChanged =
                       [this](bool searching) {
                           if (m_optionsAction != nullptr)
                               m_optionsAction->setEnabled(!searching);
                       } })
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Vesk? {WHOIS In Details} "));
    setFont(DesktopFont(QStringLiteral("MS Sans Serif"), 11));
    setGeometry(410, 314, 900, 600);

    m_update = [this] {
        UpdateSources sources;
        sources.Busy = [this](bool busy) { SetBusy(busy); };
        return UpdateDefinitions({ m_settings, m_log, m_definitions, m_locations, m_bootstrap }, sources);
    };

    auto* central = new QWidget(this);
    auto* columns = new QHBoxLayout(central);
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    m_leftPanel = new QWidget(central);
    BuildLeftPanel();
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
    // It shows server text (host names from referrals): never as markup.
    m_statusLabel->setTextFormat(Qt::PlainText);
    m_statusLabel->setFixedWidth(500);
    statusBar()->addWidget(m_statusLabel);

    m_engine = std::make_unique<LookupEngine>(*this, m_log, m_definitions, m_transport, &m_rdapSource, m_wait, m_clock);
}

void TfrmMain::BuildLeftPanel()
{
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

    m_worksheet = MakeWorksheetView(m_documentPanel);
    m_documentPanel->layout()->addWidget(m_worksheet);

    m_fontDialog = new FontDialog(this);
    m_startupTimer = new QTimer(this);
    m_startupTimer->setObjectName(QStringLiteral("startupTimer"));
    m_startupTimer->setSingleShot(true);
    m_startupTimer->setInterval(500);
    connect(m_startupTimer, &QTimer::timeout, this, &TfrmMain::StartupCheck);
    m_optionsAction = BuildMainMenu(*this);

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
    m_queryBox->setAccessibleName(QStringLiteral("Query"));
    m_queryBox->setAccessibleDescription(QStringLiteral("A domain name, an IPv4 address or any other WHOIS query"));
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

    m_built = true;
    if (isActiveWindow()) {
        OnFirstActivation();
    } else {
        m_firstActivation = connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
            if (window != nullptr && window == windowHandle())
                OnFirstActivation();
        });
    }
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
    m_searches.RequestSearch(m_queryBox != nullptr ? m_queryBox->text() : QString());
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
    const QString path = m_savePlace.Ask();
    if (!path.isEmpty())
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

void TfrmMain::SelectWholeWorksheet()
{
    m_worksheet->setFocus();
    m_worksheet->selectAll();
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
    m_fontDialog->SetChosenFont(ChosenFontOf(m_settings));
    if (m_fontDialog->exec() != QDialog::Accepted)
        return;
    StoreChosenFont(m_settings, m_fontDialog->GetChosenFont());
    ApplyWorksheetFont();
}

void TfrmMain::OpenOptions()
{
    if (m_searches.IsSearching())
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

void TfrmMain::OpenWebPage(int page)
{
    OpenHelpPage(this, m_messages, page, m_locations.ShippedDir);
}

void TfrmMain::StartupCheck()
{
    m_startupTimer->stop();
    if (!m_searches.RequestStartupCheck())
        return;
    RunCommand([this] { RunDueUpdate(m_settings, m_clock(), m_engine->Sheet(), *this, m_update); });
    if (!m_definitions.DefinitionsLoaded())
        m_messages.Show(this, MessageSink::Kind::Warning, MissingDefinitionsWarning());
}

void TfrmMain::ActivateFromHandOver()
{
    BringToFront(*this);
}

void TfrmMain::OnFirstActivation()
{
    // Later activations (after a dialog, another program) leave the worksheet and the start-up check alone.
    disconnect(m_firstActivation);
    vesk::Worksheet& sheet = m_engine->Sheet();
    sheet.WriteHeaderBox("WELCOME TO VESK? {WHOIS IN DETAILS}");
    sheet.WriteLine(QString());
    sheet.WriteLine(QStringLiteral("Thanks for using Vesk? as your WHOIS Query Tool."));
    sheet.WriteLine(QString());
    m_startupTimer->start();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    // A running search is further down this stack and uses the window: stop it, and close once it has returned.
    if (!m_searches.RequestClose()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TfrmMain::showEvent(QShowEvent* event)
{
    if (!m_placed) {
        m_placed = true;
        FitIntoScreen(*this);
    }
    QMainWindow::showEvent(event);
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
    m_capture.Written(line);
    if (m_worksheet != nullptr)
        m_worksheet->appendPlainText(line);
}

void TfrmMain::AppendLines(const QString& lines)
{
    m_capture.Written(lines);
    if (m_worksheet != nullptr)
        AppendToWorksheet(*m_worksheet, lines);
}

void TfrmMain::ClearLines()
{
    m_capture.Cleared();
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
    if (m_searches.IsSearching())
        return m_searches.Query().toLocal8Bit();
    return m_queryBox != nullptr ? m_queryBox->text().toLocal8Bit() : QByteArray();
}

void TfrmMain::SetQueryText(const QByteArray& text)
{
    const QString query = QString::fromLocal8Bit(text);
    m_searches.SetQuery(query);
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
