// What the window does with requests that arrive while a search runs: searches run inside the handler that
// started them and process the window's events while they wait, so a second search, a close or the options
// command can be asked for from inside the first one.
#include "app/options_dialog.h"
#include "main_window_fixture.h"
#include "support/fake_whois_server.h"
#include "support/test_waits.h"
#include "whois/tcp_transport.h"
#include "widgets/glyph_button.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>

using namespace vesk;

namespace {

const QString kStopping = QStringLiteral("Stopping Search Process, Please Wait ....");

} // namespace

TEST_F(MainWindowTest, ASecondSearchWaitsForTheFirstAndKeepsItsOwnQuery)
{
    m_settings->ClearBeforeSearch = false;
    m_transport.SetReply("whois.verisign-grs.com", "first-query", "first reply\r\n");
    m_transport.SetReply("whois.verisign-grs.com", "second-query", "second reply\r\n");
    QStringList events;
    m_transport.SetExchangeHook([&](const test::ExchangeRecord& exchange) {
        events.append(QStringLiteral("exchange ") + QString::fromLatin1(exchange.Query));
        if (exchange.Query != "first-query")
            return;
        // Enter pressed during the first search; then the user goes on typing.
        QueryBox()->setText(QStringLiteral("  second-query "));
        QTest::keyClick(QueryBox(), Qt::Key_Return);
        events.append(QStringLiteral("requested"));
        QueryBox()->setText(QStringLiteral("third, not asked"));
        EXPECT_EQ(Status(), kStopping);
    });

    QueryBox()->setText(QStringLiteral("first-query"));
    m_window->Search();

    EXPECT_EQ(events,
              (QStringList { QStringLiteral("exchange first-query"), QStringLiteral("requested"),
                             QStringLiteral("exchange second-query") }));
    EXPECT_TRUE(Find<QAction>("actionOptions")->isEnabled()) << "no search runs";
    EXPECT_EQ(QueryBox()->text(), QStringLiteral("second-query"));
    EXPECT_EQ(Status(), QStringLiteral("Done"));
    // Each report in full, one after the other: the first was stopped in its exchange, as Stop would have.
    const QString sheet = Sheet();
    const qsizetype firstHeader = sheet.indexOf(QStringLiteral("FIRST-QUERY"));
    const qsizetype firstReply = sheet.indexOf(QStringLiteral("No answer from whois.verisign-grs.com: search stopped"));
    const qsizetype secondHeader = sheet.indexOf(QStringLiteral("SECOND-QUERY"));
    const qsizetype secondReply = sheet.indexOf(QStringLiteral("second reply"));
    EXPECT_TRUE(firstHeader >= 0 && firstHeader < firstReply && firstReply < secondHeader && secondHeader < secondReply)
        << sheet.toStdString();
    EXPECT_FALSE(sheet.contains(QStringLiteral("third")));
    EXPECT_FALSE(sheet.contains(QStringLiteral("No Match")));
}

TEST_F(MainWindowTest, TheLatestOfSeveralRequestsRunsAndADomainReportIsNotToldNoMatch)
{
    m_settings->ClearBeforeSearch = false;
    m_settings->InclIP = false;
    m_settings->SearchContacts = false;
    m_transport.SetDefaultReply("whois.verisign-grs.com", "Domain Name: EXAMPLE.COM\r\n");
    int requests = 0;
    m_transport.SetExchangeHook([&](const test::ExchangeRecord&) {
        if (requests > 0)
            return;
        for (const char* query : { "one-more", "last-one" }) {
            ++requests;
            QueryBox()->setText(QString::fromLatin1(query));
            m_window->Search();
        }
    });
    QueryBox()->setText(QStringLiteral("example.com"));
    m_window->Search();

    ASSERT_EQ(m_transport.Exchanges().size(), 2);
    EXPECT_EQ(m_transport.Exchanges()[0].Query, QByteArray("example.com"));
    EXPECT_EQ(m_transport.Exchanges()[1].Query, QByteArray("last-one"));
    EXPECT_TRUE(Sheet().contains(QStringLiteral("Domain Name: EXAMPLE.COM")));
    EXPECT_FALSE(Sheet().contains(QStringLiteral("No Match")));
}

TEST_F(MainWindowTest, ClosingDuringASearchStopsItAndClosesWhenItHasReturned)
{
    ShowAndActivate(m_window.get());
    StartupTimer()->stop();
    m_settings->InclIP = false;
    m_settings->SearchContacts = false;
    // The registry names a registrar; a search that goes on would ask it next.
    m_transport.SetDefaultReply("whois.verisign-grs.com", "Registrar WHOIS Server: whois.registrar.test\r\n");
    m_transport.SetDefaultReply("whois.registrar.test", "registrar record\r\n");
    bool visibleAfterClose = false;
    m_transport.SetExchangeHook([&](const test::ExchangeRecord& exchange) {
        if (exchange.Host != "whois.verisign-grs.com")
            return;
        m_window->close();
        visibleAfterClose = m_window->isVisible();
        // A search asked for after the close is not run.
        QueryBox()->setText(QStringLiteral("after-close"));
        m_window->Search();
    });
    QueryBox()->setText(QStringLiteral("example.com"));
    m_window->Search();

    EXPECT_TRUE(visibleAfterClose);
    EXPECT_FALSE(m_window->isVisible());
    ASSERT_EQ(m_transport.Exchanges().size(), 1);
    EXPECT_EQ(m_transport.Exchanges()[0].Host, QByteArray("whois.verisign-grs.com"));
    EXPECT_TRUE(Find<QAction>("actionOptions")->isEnabled()) << "no search runs";
}

TEST_F(MainWindowTest, OptionsAndTheStartupCheckWaitForTheSearch)
{
    m_settings->AutoUpdate = true;
    m_settings->LastUpdate -= 31;
    m_transport.SetDefaultReply("whois.verisign-grs.com", "reply\r\n");
    auto* options = Find<QAction>("actionOptions");
    bool optionsOpened = false;
    bool enabledDuringSearch = true;
    int updatesDuringSearch = -1;
    m_transport.SetExchangeHook([&](const test::ExchangeRecord&) {
        enabledDuringSearch = options->isEnabled();
        // Should the dialog open anyway, this closes it so that the test ends.
        QTimer::singleShot(0, m_window.get(), [&] {
            if (auto* dialog = qobject_cast<TfmOption*>(QApplication::activeModalWidget())) {
                optionsOpened = true;
                dialog->close();
            }
        });
        m_window->OpenOptions();
        m_window->StartupCheck();
        updatesDuringSearch = m_updates;
    });
    QueryBox()->setText(QStringLiteral("plain"));
    m_window->Search();
    QCoreApplication::processEvents();

    EXPECT_FALSE(enabledDuringSearch);
    EXPECT_FALSE(optionsOpened);
    EXPECT_EQ(updatesDuringSearch, 0);
    EXPECT_EQ(m_updates, 1) << "the start-up check runs once the search has returned";
    EXPECT_TRUE(options->isEnabled());
}

// Stop while a real server has sent part of its reply and holds the rest: the part stays, marked incomplete as
// vesk-query marks it when stopped at the same point, and nothing after the stop is asked.
TEST(MainWindowStopTest, StopKeepsThePartAlreadyReceivedAndMarksItIncomplete)
{
    const struct
    {
        const char* name;
        const char* query;
    } rows[] = { { "plain query", "plainquery" }, { "domain report", "example.com" } };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::FakeWhoisServer registry;
        registry.SetDefaultReply("Domain Name: EXAMPLE.COM\r\nfirst part of the reply\r\nnever sent\r\n");
        registry.SetMode(test::FakeWhoisMode::Silent);
        registry.SetPartialBytes(50);
        AddressBook book;
        book.AddServer("whois.verisign-grs.com", { QHostAddress(QHostAddress::LocalHost), registry.Port() });
        TcpWhoisTransport transport(test::LoopWait(), book);
        QTemporaryDir dir;
        test::TempSettings temp;
        TReg settings(temp.Open(), TReg::WriteBack::Never, SystemClock());
        settings.InclIP = false;
        TLogFile log(dir.path(), QStringLiteral("vesk"));
        DefinitionTables definitions;
        definitions.SetTldRows({ { "com", "Commercial organisations", "whois.verisign-grs.com" } });
        definitions.SetHostMarks({ { "whois.verisign-grs.com", 0, "", "", "No match for", "", "" } });
        test::RecordingMessageSink messages;
        TfrmMain window(settings, log, definitions, transport, messages, DataLocations::InOneFolder(dir.path()));
        window.BuildMainWindow();
        auto* stop = window.findChild<TLumariaButton*>(QStringLiteral("stopButton"));
        // Once the server has the query (and sent its part), the user presses Stop.
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (registry.ReceivedQueries().isEmpty())
                return;
            poll.stop();
            QTimer::singleShot(300, stop, [stop] { QTest::mouseClick(stop, Qt::LeftButton, {}, QPoint(5, 5)); });
        });
        poll.start(10);
        window.findChild<QLineEdit*>(QStringLiteral("queryLineEdit"))->setText(QString::fromLatin1(row.query));
        window.Search();

        const QString sheet = window.findChild<QPlainTextEdit*>(QStringLiteral("worksheet"))->toPlainText();
        // The mark comes right after the part (the plain query keeps the part's own last line break).
        EXPECT_TRUE(sheet.contains(
            QRegularExpression(QStringLiteral("first part of the reply\n\n?\\[reply incomplete: search stopped\\]\n"))))
            << sheet.toStdString();
        EXPECT_FALSE(sheet.contains(QStringLiteral("never sent")));
        EXPECT_EQ(registry.ConnectionCount(), 1);
    }
}
