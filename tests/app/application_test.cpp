#include "app/application.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "app/splash_window.h"
#include "defs/definition_file.h"
#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "recording_message_sink.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "support/fake_whois_server.h"
#include "support/in_memory_transport.h"
#include "support/temp_settings.h"
#include "support/test_data.h"
#include "support/test_waits.h"
#include "whois/tcp_transport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>

using namespace vesk;

namespace {

QStringList ReadLogLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split(QStringLiteral("\r\n"));
}

} // namespace

class ApplicationTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_savedName = QCoreApplication::applicationName();
        m_options.ExecutableDir = m_dir.path();
        m_options.ExecutableName = QStringLiteral("vesk");
        m_options.SettingsFile = m_dir.filePath(QStringLiteral("settings.ini"));
        m_options.LockDirectory = m_dir.path();
        m_options.Transport = &m_transport;
        m_options.Messages = &m_messages;
        m_options.SplashMilliseconds = 0;
    }
    void TearDown() override { QCoreApplication::setApplicationName(m_savedName); }
    QStringList LogLines() const { return ReadLogLines(m_dir.filePath(QStringLiteral("LOG/vesk.log"))); }
    QString StoredSetting(const QString& key) const
    {
        return QSettings(m_options.SettingsFile, QSettings::IniFormat).value(key).toString();
    }

    QTemporaryDir m_dir;
    QString m_savedName;
    test::InMemoryTransport m_transport;
    test::RecordingMessageSink m_messages;
    StartOptions m_options;
};

TEST_F(ApplicationTest, ARunLogsItsStartAndEndAndWritesTheSettingsBack)
{
    bool built = false;
    m_options.OnMainWindow = [&](TfrmMain& window) {
        built = true;
        EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("Vesk?"));
        // Once the main window has the focus the splash has gone and the welcome block is written.
        EXPECT_TRUE(QTest::qWaitFor([] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            return std::none_of(windows.begin(), windows.end(),
                                [](QWidget* w) { return qobject_cast<TfmSplash*>(w) != nullptr && w->isVisible(); });
        }));
        EXPECT_TRUE(window.findChild<QPlainTextEdit*>(QStringLiteral("worksheet"))
                        ->toPlainText()
                        .contains(QStringLiteral("Thanks for using Vesk?")));
        QTimer::singleShot(0, &window, [&window] { window.close(); });
    };
    EXPECT_EQ(RunApplication(m_options), StartResult::Ran);
    EXPECT_TRUE(built);

    const QStringList lines = LogLines();
    ASSERT_EQ(lines.size(), 5) << lines.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(lines[0].isEmpty() && lines[1].isEmpty());
    EXPECT_TRUE(lines[2].contains(QStringLiteral(" > < Start Vesk? ")));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(" > < End Vesk? >")));
    EXPECT_EQ(StoredSetting(QStringLiteral("Font/Height")), QStringLiteral("-13"));
    EXPECT_EQ(StoredSetting(QStringLiteral("System Settings/Auto Update")), QStringLiteral("0"));
}

TEST_F(ApplicationTest, ASecondStartHandsOverAndEndsWithoutAMainWindow)
{
    InstanceLock running(QCoreApplication::applicationName(), m_dir.path());
    ASSERT_TRUE(running.IsFirst());
    ASSERT_TRUE(running.Listen());
    QSignalSpy activated(&running, &InstanceLock::ActivateRequested);

    // The running instance's live log, which a second start must leave where it is.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("LOG")));
    QFile live(m_dir.filePath(QStringLiteral("LOG/vesk.log")));
    ASSERT_TRUE(live.open(QIODevice::WriteOnly));
    live.write("\r\n\r\n24.01.01 10:00:00 > < Start Vesk? 1.0.0.0 >\r\n");
    live.close();
    const QStringList runningLog = LogLines();

    bool built = false;
    bool delivered = false;
    m_options.OnMainWindow = [&](TfrmMain&) { built = true; };
    m_options.OnHandOver = [&](bool ok) { delivered = ok; };
    EXPECT_EQ(RunApplication(m_options), StartResult::HandedOver);
    EXPECT_FALSE(built);
    EXPECT_TRUE(delivered);
    EXPECT_TRUE(activated.count() == 1 || activated.wait(5000));

    // The running instance owns the settings and the log: the hand-over wrote no settings of its own (stale ones
    // would overwrite the running instance's) and made, wrote or renamed no log.
    EXPECT_FALSE(QFileInfo::exists(m_options.SettingsFile));
    EXPECT_EQ(QDir(m_dir.filePath(QStringLiteral("LOG"))).entryList(QDir::Files),
              QStringList { QStringLiteral("vesk.log") });
    EXPECT_EQ(LogLines(), runningLog);

    // The running instance still holds the lock.
    InstanceLock second(QCoreApplication::applicationName(), m_dir.path());
    EXPECT_FALSE(second.IsFirst());
}

TEST_F(ApplicationTest, ADamagedDefinitionFileEndsTheStartWithItsMessage)
{
    QFile::copy(test::TestDataPath(QStringLiteral("defs/truncated-header.bin")),
                m_dir.filePath(QString::fromLatin1(kTldFileName.Text())));
    bool built = false;
    m_options.OnMainWindow = [&](TfrmMain&) { built = true; };
    EXPECT_EQ(RunApplication(m_options), StartResult::StartupError);
    EXPECT_FALSE(built);
    EXPECT_EQ(m_messages.Shown(), QStringList { QStringLiteral("Invalid file format") });
    EXPECT_EQ(StoredSetting(QStringLiteral("Font/Name")), QStringLiteral("Courier New"));
}

// The built program itself, twice: the second start hands over and ends; the first ends in order on SIGTERM.
TEST(ProgramTest, SecondProcessHandsOverAndEnds)
{
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VESK_BIN_DIR "/vesk"), bin + QStringLiteral("/vesk")));
    const QString runtime = dir.filePath(QStringLiteral("run"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("state")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const auto start = [&](QProcess& process) {
        process.setProcessEnvironment(env);
        process.setProgram(bin + QStringLiteral("/vesk"));
        process.start();
        return process.waitForStarted(10000);
    };

    QProcess first;
    ASSERT_TRUE(start(first));
    // The first instance listens for hand-overs once its main window is built.
    const QString socket = runtime + QStringLiteral("/PREVINST:vesk.socket");
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket); }, 20000));

    QProcess second;
    ASSERT_TRUE(start(second));
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitCode(), 0);

    // Without definition files beside it the program runs as an installed one: its log is in the state folder.
    EXPECT_FALSE(QFileInfo::exists(bin + QStringLiteral("/LOG")));
    QStringList lines = ReadLogLines(dir.filePath(QStringLiteral("state/vesk/LOG/vesk.log")));
    EXPECT_EQ(lines.filter(QStringLiteral("< Start Vesk? ")).size(), 1);
    lines.removeAll(QString());
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().endsWith(QStringLiteral("< End Vesk? >")));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("config/Ostberg/Vesk?.conf"))));

    // A session that hangs up ends it the same way.
    QProcess again;
    ASSERT_TRUE(start(again));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(socket); }, 20000));
    ASSERT_EQ(::kill(static_cast<pid_t>(again.processId()), SIGHUP), 0);
    ASSERT_TRUE(again.waitForFinished(20000));
    EXPECT_EQ(again.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(again.exitCode(), 0);
    lines = ReadLogLines(dir.filePath(QStringLiteral("state/vesk/LOG/vesk.log")));
    EXPECT_EQ(lines.filter(QStringLiteral("< End Vesk? >")).size(), 2);
}

// A domain search against loopback fakes, and a picture of the window for the documentation.
TEST(ScreenshotTest, DomainSearchAgainstLoopbackServers)
{
    test::FakeWhoisServer registry, registrar, arin;
    registry.SetDefaultReply(
        test::ReadTestData(QStringLiteral("whois/whois.verisign-grs.com-com-registered-newformat-2020.txt")));
    registrar.SetDefaultReply(test::ReadTestData(QStringLiteral("whois/whois.markmonitor.com-com-registered.txt")));
    arin.SetDefaultReply(test::ReadTestData(QStringLiteral("whois/whois.arin.net-single-record-2013.txt")));
    ASSERT_TRUE(registry.IsListening() && registrar.IsListening() && arin.IsListening());

    AddressBook book;
    const QHostAddress loopback(QHostAddress::LocalHost);
    book.AddServer("whois.verisign-grs.com", { loopback, registry.Port() });
    book.AddServer("whois.markmonitor.com", { loopback, registrar.Port() });
    book.AddServer("whois.arin.net", { loopback, arin.Port() });
    book.AddAddresses("google.com", { 0x04020201 });
    book.AddAddresses("www.google.com", { 0x04020201 });
    TcpWhoisTransport transport(test::LoopWait(), book);

    QTemporaryDir dir;
    test::TempSettings temp;
    TReg settings(temp.Open(), TReg::WriteBack::Never, SystemClock());
    settings.SearchContacts = false;
    TLogFile log(dir.path(), QStringLiteral("vesk"));
    DefinitionTables definitions;
    definitions.SetTldRows({ { "com", "Commercial organisations", "whois.verisign-grs.com" } });
    definitions.SetHostMarks({ { "whois.verisign-grs.com", 0, "", "", "No match for", "", "" },
                               { "whois.markmonitor.com", 0, "", "", "No match for", "", "" } });
    test::RecordingMessageSink messages;
    TfrmMain window(settings, log, definitions, transport, messages, DataLocations::InOneFolder(dir.path()));
    window.BuildMainWindow();
    SearchOptions noPause;
    noPause.PauseMilliseconds = 0;
    window.SetSearchOptions(noPause);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    window.findChild<QLineEdit*>(QStringLiteral("queryLineEdit"))->setText(QStringLiteral("www.google.com"));
    window.Search();
    const QString sheet = window.findChild<QPlainTextEdit*>(QStringLiteral("worksheet"))->toPlainText();
    EXPECT_EQ(window.findChild<QLineEdit*>(QStringLiteral("queryLineEdit"))->text(), QStringLiteral("google.com"));
    EXPECT_TRUE(sheet.contains(QStringLiteral("DOMAIN REPORT FOR: GOOGLE.COM"))) << sheet.toStdString();
    EXPECT_TRUE(sheet.contains(QStringLiteral("whois.markmonitor.com")));
    EXPECT_TRUE(sheet.contains(QStringLiteral("Level 3 Communications")));
    EXPECT_GE(registry.ConnectionCount(), 1);
    EXPECT_GE(arin.ConnectionCount(), 1);

    window.findChild<QPlainTextEdit*>(QStringLiteral("worksheet"))->moveCursor(QTextCursor::Start);
    QCoreApplication::processEvents();
    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.size(), window.size());
    EXPECT_TRUE(shot.save(QStringLiteral(VESK_BIN_DIR "/../screenshot.png")));
}
