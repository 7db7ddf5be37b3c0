#include "app/font_dialog.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/options_dialog.h"
#include "app/splash_window.h"
#include "app/worksheet_font.h"
#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "main_window_fixture.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "support/in_memory_transport.h"
#include "support/temp_settings.h"
#include "widgets/glyph_button.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>
#include <initializer_list>
#include <vesk_version.h>

using namespace vesk;

namespace {

const QString kThanks = QStringLiteral("Thanks for using Vesk? as your WHOIS Query Tool.");

// Catches the addresses that the help commands hand to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void Open(const QUrl& url) { urls.append(url); }
};

} // namespace

// Every control a screen reader can reach has a name, in the window and in each of its dialogs; the two glyph
// buttons are push buttons named by their captions.
TEST_F(MainWindowTest, EveryControlHasAnAccessibleName)
{
    TfmOption options(*m_settings, {}, m_messages, m_window.get());
    options.SetupOptions();
    TfmSplash about(m_window.get());
    about.SetupSplash();
    for (QWidget* top :
         std::initializer_list<QWidget*> { m_window.get(), &options, &about, m_window->findChild<FontDialog*>() }) {
        SCOPED_TRACE(top->objectName().toStdString());
        int controls = 0;
        for (QWidget* widget : top->findChildren<QWidget*>()) {
            const bool control = (widget->focusPolicy() & Qt::TabFocus) != 0 || qobject_cast<QAbstractButton*>(widget);
            // The parts of a combo or spin box are named by the box itself.
            const bool part = qobject_cast<QComboBox*>(widget->parentWidget()) != nullptr
                || qobject_cast<QAbstractSpinBox*>(widget->parentWidget()) != nullptr;
            if (!control || part || !widget->isVisibleTo(top))
                continue;
            ++controls;
            QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
            ASSERT_NE(face, nullptr);
            EXPECT_FALSE(face->text(QAccessible::Name).trimmed().isEmpty())
                << widget->objectName().toStdString() << " " << widget->metaObject()->className();
        }
        EXPECT_GE(controls, 1);
    }

    const struct
    {
        const char* name;
        const char* caption;
    } buttons[] = { { "searchButton", "Search" }, { "stopButton", "Stop Search" } };
    for (const auto& row : buttons) {
        SCOPED_TRACE(row.name);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(Find<QWidget>(row.name));
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->role(), QAccessible::Button);
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromLatin1(row.caption));
        ASSERT_NE(face->actionInterface(), nullptr);
        EXPECT_TRUE(face->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    }
    // Pressed through the accessibility interface, the search button searches.
    m_transport.SetDefaultReply("whois.verisign-grs.com", "pressed by a screen reader\r\n");
    QueryBox()->setText(QStringLiteral("plain"));
    QAccessible::queryAccessibleInterface(Find<QWidget>("searchButton"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(QTest::qWaitFor([this] { return Sheet().contains(QStringLiteral("pressed by a screen reader")); }));
}

TEST_F(MainWindowTest, StartAndEndRecordsInTheLog)
{
    const QString start = QStringLiteral("< Start Vesk? %1.%2.%3.%4 >")
                              .arg(VESK_VERSION_MAJOR)
                              .arg(VESK_VERSION_MINOR)
                              .arg(VESK_VERSION_RELEASE)
                              .arg(VESK_VERSION_BUILD);
    // The end record is the window's last line, written as it goes; the log is complete once it closes.
    m_window.reset();
    const QString fileName = m_log->GetLogFileName();
    m_log.reset();
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 5) << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(lines[0].isEmpty());
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_TRUE(lines[2].endsWith(QStringLiteral(" > ") + start)) << lines[2].toStdString();
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(" > < End Vesk? >"))) << lines[3].toStdString();
    EXPECT_TRUE(lines[4].isEmpty());
}

// The search panel's controls, where the user sees them.
const QPoint kQueryBoxPlace(10, 150);
const QPoint kSearchButtonPlace(110, 130);
const QPoint kStopButtonPlace(12, 226);
const QString kStopping = QStringLiteral("Stopping Search Process, Please Wait ....");

TEST_F(MainWindowTest, EnterAndTheSearchButtonRunTheSameSearch)
{
    m_transport.SetDefaultReply("whois.verisign-grs.com", "Registry reply line\r\n");
    ClickPanelAt(kQueryBoxPlace);
    QTest::keyClicks(QueryBox(), QStringLiteral("  something-plain  "));
    QTest::keyClick(QueryBox(), Qt::Key_Return);
    const QString byEnter = Sheet();
    ASSERT_EQ(m_transport.Exchanges().size(), 1);
    EXPECT_TRUE(byEnter.contains(QStringLiteral("Registry reply line")));
    EXPECT_EQ(QueryBox()->text(), QStringLiteral("something-plain"));
    EXPECT_EQ(Status(), QStringLiteral("Done"));

    ClickPanelAt(kSearchButtonPlace);
    ASSERT_EQ(m_transport.Exchanges().size(), 2);
    EXPECT_EQ(m_transport.Exchanges()[1].Query, m_transport.Exchanges()[0].Query);
    // "Clear Before Search" is on: the same report again, which says that nothing changed since the first.
    ASSERT_TRUE(Sheet().startsWith(byEnter)) << Sheet().toStdString();
    EXPECT_TRUE(Sheet().mid(byEnter.size()).trimmed().startsWith(QStringLiteral("No changes since ")))
        << Sheet().toStdString();
    // The search ended with its stop flag set: a stop between searches has nothing to stop.
    ClickPanelAt(kStopButtonPlace);
    EXPECT_EQ(Status(), QStringLiteral("Done"));
}

TEST_F(MainWindowTest, StopBeforeAnySearchShowsTheStoppingMessage)
{
    ClickPanelAt(kStopButtonPlace);
    EXPECT_EQ(Status(), kStopping);
    EXPECT_TRUE(m_transport.Exchanges().isEmpty());
}

TEST_F(MainWindowTest, ServerTextInTheStatusLineIsShownAsText)
{
    m_settings->InclIP = false;
    m_settings->SearchContacts = false;
    const QString host = QStringLiteral("<h1>x</h1>.com");
    m_transport.SetDefaultReply("whois.verisign-grs.com",
                                "Domain Name: EXAMPLE.COM\r\nRegistrar WHOIS Server: <h1>x</h1>.com\r\n");
    QString shown;
    int shownHeight = 0;
    m_transport.SetExchangeHook([&](const test::ExchangeRecord& exchange) {
        if (exchange.Host != host.toLatin1())
            return;
        auto* status = Find<QLabel>("statusLine");
        shown = status->text();
        shownHeight = status->sizeHint().height();
    });
    QueryBox()->setText(QStringLiteral("example.com"));
    ClickPanelAt(kSearchButtonPlace);
    ASSERT_TRUE(shown.contains(host)) << shown.toStdString();
    // As markup the heading would stand a line of its own in a larger font.
    EXPECT_LE(shownHeight, QFontMetrics(Find<QLabel>("statusLine")->font()).height() + 2);
}

TEST_F(MainWindowTest, AnErrorEscapingACommandIsReportedAndTheWindowCarriesOn)
{
    QueryBox()->setText(QString(300, QLatin1Char('a')));
    ClickPanelAt(kSearchButtonPlace);
    ASSERT_EQ(m_messages.Shown().size(), 1);
    EXPECT_FALSE(m_messages.Shown()[0].isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const QString status = Status();
    ClickPanelAt(kStopButtonPlace);
    EXPECT_EQ(Status(), status) << "the failed search still ended with its stop flag set";

    m_transport.SetDefaultReply("whois.verisign-grs.com", "still working\r\n");
    QueryBox()->setText(QStringLiteral("plain"));
    ClickPanelAt(kSearchButtonPlace);
    EXPECT_TRUE(Sheet().contains(QStringLiteral("still working")));
}

TEST_F(MainWindowTest, TheWelcomeAndTheStartupCheckBelongToTheFirstActivationOnly)
{
    ShowAndActivate(m_window.get());
    EXPECT_EQ(Sheet().count(kThanks), 1);
    EXPECT_TRUE(Sheet().contains(QStringLiteral("WELCOME TO VESK?")));
    EXPECT_TRUE(StartupTimer()->isActive());
    StartupTimer()->stop();

    // A search, then the options dialog opened and closed: the report stays the last thing in the worksheet and
    // the start-up check does not come again.
    m_transport.SetDefaultReply("whois.verisign-grs.com", "the report's last line\r\n");
    QueryBox()->setText(QStringLiteral("plain"));
    ClickPanelAt(kSearchButtonPlace);
    const QString report = Sheet();
    ASSERT_TRUE(report.contains(QStringLiteral("the report's last line")));
    QTimer::singleShot(0, m_window.get(), [] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    Find<QAction>("actionOptions")->trigger();
    ShowAndActivate(m_window.get());
    // The About window and a window of another kind take the focus and give it back: the same.
    {
        TfmSplash about(m_window.get());
        about.SetupSplash();
        ShowAndActivate(&about);
        about.close();
        QWidget other;
        ShowAndActivate(&other);
        other.close();
        ShowAndActivate(m_window.get());
    }
    EXPECT_EQ(Sheet(), report);
    EXPECT_FALSE(StartupTimer()->isActive());
    EXPECT_EQ(m_updates, 0);
}

TEST_F(MainWindowTest, StartupCheckWarnsAboutMissingDefinitionsAndUpdatesWhenDue)
{
    // Loaded definitions, Auto Update off: nothing happens.
    m_window->StartupCheck();
    EXPECT_TRUE(m_messages.Shown().isEmpty());
    EXPECT_EQ(m_updates, 0);

    // Due: the update runs and the status line is blank afterwards; empty tables bring the two-line warning.
    m_settings->AutoUpdate = true;
    m_settings->LastUpdate -= 31;
    m_definitions.SetTldRows({});
    m_window->StartupCheck();
    EXPECT_EQ(m_updates, 1);
    EXPECT_TRUE(Status().isEmpty());
    ASSERT_EQ(m_messages.Shown().size(), 1);
    EXPECT_EQ(m_messages.Shown()[0].count(QStringLiteral("\r\n")), 1);

    // 29 days: not due.
    m_settings->LastUpdate += 2;
    m_window->StartupCheck();
    EXPECT_EQ(m_updates, 1);
}

TEST_F(MainWindowTest, FontCommandCancelChangesNothingConfirmStoresEverything)
{
    const QFont before = Worksheet()->font();
    QTimer::singleShot(0, m_window.get(), [this] {
        m_window->findChild<FontDialog*>()->SetChosenFont(
            { QStringLiteral("Courier"), 14, { true, false, false, false }, Qt::red, 0 });
        m_window->findChild<FontDialog*>()->reject();
    });
    m_window->ChooseWorksheetFont();
    EXPECT_EQ(m_settings->FontName, QStringLiteral("Courier New"));
    EXPECT_EQ(m_settings->FontHeight, -13);
    EXPECT_EQ(m_settings->FontStyle, 0);
    EXPECT_EQ(Worksheet()->font(), before);

    QTimer::singleShot(0, m_window.get(), [this] {
        // The dialog opened with a copy of the worksheet font.
        EXPECT_EQ(m_window->findChild<FontDialog*>()->GetChosenFont().PointSize, 10);
        m_window->findChild<FontDialog*>()->SetChosenFont(
            { QStringLiteral("DejaVu Sans Mono"), 12, { false, false, true, true }, QColor(0, 0, 128), 0 });
        m_window->findChild<FontDialog*>()->accept();
    });
    m_window->ChooseWorksheetFont();
    // Saved at once, not only at an orderly end.
    EXPECT_EQ(m_temp.Get(QStringLiteral("Font"), QStringLiteral("Style")), QStringLiteral("3"));
    EXPECT_EQ(m_temp.Get(QStringLiteral("Font"), QStringLiteral("Height")), QStringLiteral("-16"));
    EXPECT_EQ(m_settings->FontName, QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(m_settings->FontHeight, -16);
    EXPECT_EQ(m_settings->FontColor, 0x800000);
    EXPECT_EQ(m_settings->FontStyle, 3);
    const QFont applied = Worksheet()->font();
    EXPECT_EQ(applied.pixelSize(), 16);
    EXPECT_TRUE(applied.underline() && applied.strikeOut());
    EXPECT_EQ(Worksheet()->palette().color(QPalette::Text), QColor(0, 0, 128));

    m_settings.reset(); // and again at the end of the run
    EXPECT_EQ(m_temp.Get(QStringLiteral("Font"), QStringLiteral("Style")), QStringLiteral("3"));
    m_window.reset();
}

TEST_F(MainWindowTest, WorksheetFontFromTheSettings)
{
    const struct
    {
        const char* name;
        int height, color, style;
        int pixels;
        QColor text;
        bool bold, italic, underline, strikeOut;
    } rows[] = {
        { "defaults", -13, 0, 0, 13, Qt::black, false, false, false, false },
        { "bold italic red", -20, 0x0000ff, 12, 20, Qt::red, true, true, false, false },
        { "underline strike-out blue", -9, 0xff0000, 3, 9, Qt::blue, false, false, true, true },
        { "high bits ignored", -13, 0x00ff00, 16 + 8, 13, Qt::green, true, false, false, false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        m_settings->FontHeight = row.height;
        m_settings->FontColor = row.color;
        m_settings->FontStyle = row.style;
        // Closing the options dialog re-applies the font, changed or not.
        QTimer::singleShot(0, m_window.get(), [] { QApplication::activeModalWidget()->close(); });
        m_window->OpenOptions();
        const QFont font = Worksheet()->font();
        EXPECT_EQ(font.pixelSize(), row.pixels);
        EXPECT_EQ(font.bold(), row.bold);
        EXPECT_EQ(font.italic(), row.italic);
        EXPECT_EQ(font.underline(), row.underline);
        EXPECT_EQ(font.strikeOut(), row.strikeOut);
        EXPECT_EQ(Worksheet()->palette().color(QPalette::Text), row.text);
    }
    // A positive height is a cell height: the characters come out smaller.
    m_settings->FontHeight = 20;
    EXPECT_LE(WorksheetFontOf(*m_settings).pixelSize(), 20);
    EXPECT_GT(WorksheetFontOf(*m_settings).pixelSize(), 10);
}

TEST_F(MainWindowTest, FileAndEditCommands)
{
    m_window->AppendLine(QStringLiteral("\u2552\u2550 caf\u00e9 \u2555"));
    m_window->AppendLine(QStringLiteral("second"));
    const QString path = m_dir.filePath(QStringLiteral("out.txt"));
    ASSERT_TRUE(m_window->SaveWorksheet(path));
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QStringLiteral("\u2552\u2550 caf\u00e9 \u2555\nsecond\n").toUtf8());
    EXPECT_FALSE(m_window->SaveWorksheet(m_dir.filePath(QStringLiteral("no/such/folder/out.txt"))));
    EXPECT_EQ(m_messages.Shown().size(), 1);

    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_dir.filePath(QStringLiteral("out.pdf")));
    m_window->PrintWorksheet(printer);
    EXPECT_GT(QFileInfo(printer.outputFileName()).size(), 0);

    ShowAndActivate(m_window.get());
    QueryBox()->setText(QStringLiteral("example.org"));
    QueryBox()->setFocus();
    QueryBox()->selectAll();
    Find<QAction>("actionCopy")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("example.org"));
    Find<QAction>("actionCut")->trigger();
    EXPECT_TRUE(QueryBox()->text().isEmpty());
    Find<QAction>("actionPaste")->trigger();
    EXPECT_EQ(QueryBox()->text(), QStringLiteral("example.org"));

    Find<QAction>("actionNewSearch")->trigger();
    EXPECT_TRUE(QueryBox()->text().isEmpty());
    EXPECT_TRUE(QueryBox()->hasFocus());

    Find<QAction>("actionSelectAll")->trigger();
    EXPECT_TRUE(Worksheet()->hasFocus());
    EXPECT_EQ(Worksheet()->textCursor().selectedText().size(), Sheet().size());
    Find<QAction>("actionClear")->trigger();
    EXPECT_TRUE(Sheet().isEmpty());

    // Four menus, their entries and shortcuts: the keys a user learns.
    const QList<QAction*> menus = m_window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    const int entries[] = { 7, 6, 3, 6 };
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(menus[i]->menu()->actions().size(), entries[i]) << i;
    const struct
    {
        const char* name;
        QKeySequence keys;
    } shortcuts[] = { { "actionNewSearch", QKeySequence(Qt::CTRL | Qt::Key_0) },
                      { "actionSave", QKeySequence(Qt::CTRL | Qt::Key_S) },
                      { "actionPrint", QKeySequence(Qt::CTRL | Qt::Key_P) },
                      { "actionHistory", QKeySequence(Qt::CTRL | Qt::Key_H) },
                      { "actionCopy", QKeySequence(Qt::CTRL | Qt::Key_C) },
                      { "actionCut", QKeySequence(Qt::CTRL | Qt::Key_X) },
                      { "actionPaste", QKeySequence(Qt::CTRL | Qt::Key_V) },
                      { "actionClose", QKeySequence() },
                      { "actionAbout", QKeySequence() } };
    for (const auto& row : shortcuts) {
        SCOPED_TRACE(row.name);
        auto* action = Find<QAction>(row.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), row.keys);
    }

    Find<QAction>("actionClose")->trigger();
    EXPECT_FALSE(m_window->isVisible());
}

TEST_F(MainWindowTest, HelpCommandsOpenTheirAddresses)
{
    QFile manual(m_dir.filePath(QStringLiteral("vesk-manual.html")));
    ASSERT_TRUE(manual.open(QIODevice::WriteOnly));
    manual.close();
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    // The manual is found beside the program wherever the process happens to stand.
    const QString current = QDir::currentPath();
    QDir::setCurrent(QDir::rootPath());
    Find<QAction>("actionWebPage1")->trigger();
    Find<QAction>("actionWebPage2")->trigger();
    Find<QAction>("actionWebPage3")->trigger();
    QDir::setCurrent(current);
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    ASSERT_EQ(catcher.urls.size(), 3);
    EXPECT_EQ(catcher.urls[0], QUrl(QStringLiteral("https://www.iana.org/domains/root/db")));
    EXPECT_EQ(catcher.urls[1], QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("vesk-manual.html"))));
    EXPECT_EQ(catcher.urls[2], QUrl(QStringLiteral("https://lookup.icann.org")));
}

TEST_F(MainWindowTest, TheQueryBoxHasTheFocusAndTabGoesRound)
{
    ShowAndActivate(m_window.get());
    StartupTimer()->stop();
    EXPECT_EQ(QApplication::focusWidget(), QueryBox());

    // Typed and Enter, without a click: the search runs.
    m_transport.SetDefaultReply("whois.verisign-grs.com", "typed reply\r\n");
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("typed-query"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_EQ(m_transport.Exchanges().size(), 1);
    EXPECT_EQ(m_transport.Exchanges()[0].Query, QByteArray("typed-query"));

    const QString before = Sheet();
    const QList<QWidget*> order { Find<QWidget>("searchButton"), Find<QWidget>("stopButton"), Worksheet(), QueryBox() };
    for (QWidget* next : order) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << next->objectName().toStdString();
    }
    EXPECT_EQ(Sheet(), before) << "Tab leaves the worksheet without typing into it";
    for (qsizetype i = order.size() - 2; i >= 0; --i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        EXPECT_EQ(QApplication::focusWidget(), order[i]) << order[i]->objectName().toStdString();
    }

    // The search button answers the keyboard: Space and Enter.
    Find<QWidget>("searchButton")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(m_transport.Exchanges().size(), 3);
}

TEST_F(MainWindowTest, TheWindowFitsItsScreenAndItsMinimumShowsAReportsWidth)
{
    EXPECT_EQ(m_window->size(), QSize(900, 600)) << "the size it asks for before the screen has a say";
    EXPECT_FALSE(Find<QLabel>("bannerPicture")->pixmap().isNull());
    const QRect available = m_window->screen()->availableGeometry();
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    EXPECT_TRUE(available.contains(m_window->frameGeometry())) << available.width() << "x" << available.height();

    // At its smallest, the search controls are in view and a box rule at the default font takes one line.
    m_window->resize(m_window->minimumSize());
    m_window->ClearLines();
    m_window->AppendLine(QChar(0x2552) + QString(64, QChar(0x2550)) + QChar(0x2555));
    m_window->grab();
    QWidget* panel = Find<QWidget>("leftPanel");
    for (const char* name : { "queryLineEdit", "searchButton", "stopButton" }) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(panel->rect().contains(Find<QWidget>(name)->geometry()));
    }
    const QTextBlock rule = Worksheet()->document()->firstBlock();
    ASSERT_EQ(rule.text().size(), 66);
    ASSERT_NE(rule.layout(), nullptr);
    EXPECT_EQ(rule.layout()->lineCount(), 1);
    EXPECT_LT(m_window->minimumWidth(), 900);
    EXPECT_LT(m_window->minimumHeight(), 600);
}

TEST_F(MainWindowTest, MenuBarAndMenusShareOneFont)
{
    const QFont bar = m_window->menuBar()->font();
    for (const char* name : { "fileMenu", "editMenu", "settingsMenu", "helpMenu" }) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Find<QMenu>(name)->font(), bar);
    }
}

TEST_F(MainWindowTest, SaveStartsInTheDocumentsFolderAndRemembersTheLastOne)
{
    m_window->AppendLine(QStringLiteral("saved line"));
    QStringList starts;
    QString answer;
    m_window->SetSaveDialogFunction([&](const QString& start) {
        starts.append(start);
        return answer;
    });
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath();

    Find<QAction>("actionSave")->trigger(); // cancelled
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("reports")));
    answer = m_dir.filePath(QStringLiteral("reports/one.txt"));
    Find<QAction>("actionSave")->trigger();
    answer.clear();
    Find<QAction>("actionSave")->trigger();

    ASSERT_EQ(starts.size(), 3);
    EXPECT_EQ(starts[0], QDir(documents).filePath(QStringLiteral("worksheet.txt")));
    EXPECT_EQ(starts[1], starts[0]) << "a cancelled dialog changes nothing";
    EXPECT_EQ(starts[2], m_dir.filePath(QStringLiteral("reports/worksheet.txt")));
    QFile saved(m_dir.filePath(QStringLiteral("reports/one.txt")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), QByteArray("saved line\n"));
}

TEST_F(MainWindowTest, AHelpEntryThatCannotBeOpenedSaysSo)
{
    // No manual beside the program: the message names the entry and the missing file.
    Find<QAction>("actionWebPage2")->trigger();
    ASSERT_EQ(m_messages.Shown().size(), 1);
    EXPECT_TRUE(m_messages.Shown()[0].startsWith(QStringLiteral("Vesk? Manual could not be opened")));
    EXPECT_TRUE(m_messages.Shown()[0].contains(m_dir.filePath(QStringLiteral("vesk-manual.html"))));

    // A desktop with nothing that opens the address (the headless one opens nothing): the message names the
    // entry and the address.
    Find<QAction>("actionWebPage1")->trigger();
    ASSERT_EQ(m_messages.Shown().size(), 2);
    EXPECT_EQ(m_messages.Shown()[1],
              QStringLiteral("IANA Root Zone Database could not be opened: the desktop has no program that opens "
                             "https://www.iana.org/domains/root/db"));
    EXPECT_EQ(m_messages.ShownKinds()[1], MessageSink::Kind::Error);
}

TEST_F(MainWindowTest, OneWrittenTextIsOneInsertAndTheWorksheetFollowsItsEnd)
{
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    StartupTimer()->stop();
    m_window->ClearLines();
    m_window->AppendLine(QStringLiteral("before"));
    int changes = 0;
    QPlainTextEdit* sheet = Worksheet();
    QObject::connect(sheet->document(), &QTextDocument::contentsChange, [&changes](int, int, int) { ++changes; });
    QString reply;
    for (int i = 0; i < 2000; ++i)
        reply += QStringLiteral("line %1\n").arg(i);
    reply += QStringLiteral("last line");
    m_window->AppendLines(reply);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Sheet(), QStringLiteral("before\n") + reply);

    // Scrolled to the end: the last line is in view.
    QCoreApplication::processEvents();
    QTextCursor bottom = sheet->cursorForPosition(QPoint(4, sheet->viewport()->height() - 4));
    bottom.select(QTextCursor::LineUnderCursor);
    EXPECT_EQ(bottom.selectedText(), QStringLiteral("last line"));
    EXPECT_EQ(sheet->verticalScrollBar()->value(), sheet->verticalScrollBar()->maximum());
}

#include "main_window_test.moc"
