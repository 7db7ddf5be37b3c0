// The window's history: every search recorded, the section that says what changed, and the History window that
// lists past searches and shows one again without asking a server.
#include "app/history_window.h"
#include "main_window_fixture.h"

#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QTreeWidget>

using namespace vesk;

namespace {

QByteArray RegistryReply(const char* expiry, const char* secondServer, const char* extraStatus)
{
    QByteArray reply = "Domain Name: EXAMPLE.COM\r\n"
                       "Registrar: Example Registrar, Inc.\r\n"
                       "Domain Status: clientTransferProhibited https://icann.org/epp#clientTransferProhibited\r\n";
    if (extraStatus[0] != '\0')
        reply += QByteArray("Domain Status: ") + extraStatus + "\r\n";
    reply += QByteArray("Name Server: NS1.EXAMPLE.COM\r\nName Server: ") + secondServer + "\r\n";
    reply += QByteArray("Registry Expiry Date: ") + expiry + "\r\n";
    reply += QByteArray(">>> Last update of whois database: ") + expiry + " <<<\r\n";
    return reply;
}

} // namespace

class MainWindowHistoryTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        m_settings->InclIP = false;
        m_settings->SearchContacts = false;
        m_settings->ClearBeforeSearch = true;
    }

    void SearchFor(const QString& query)
    {
        QueryBox()->setText(query);
        m_window->Search();
    }

    HistoryWindow* OpenHistoryWindow()
    {
        Find<QAction>("actionHistory")->trigger();
        auto* window = m_window->findChild<HistoryWindow*>(QStringLiteral("historyWindow"));
        EXPECT_NE(window, nullptr);
        return window;
    }

    static QTreeWidget* List(HistoryWindow* window)
    {
        return window->findChild<QTreeWidget*>(QStringLiteral("historyList"));
    }

    static QString StatusOf(HistoryWindow* window)
    {
        return window->findChild<QLabel*>(QStringLiteral("historyStatus"))->text();
    }

    /// Waits for the list to show `rows` searches (it is read on the history's own thread).
    static bool WaitForRows(HistoryWindow* window, int rows)
    {
        return QTest::qWaitFor([window, rows] {
            return List(window)->topLevelItemCount() == rows && !StatusOf(window).startsWith(QStringLiteral("Reading"));
        });
    }
};

TEST_F(MainWindowHistoryTest, ASecondReportSaysWhatChangedAndTheHistoryWindowShowsTheFirstAgain)
{
    m_transport.SetDefaultReply("whois.verisign-grs.com", RegistryReply("2027-01-01T00:00:00Z", "NS2.EXAMPLE.COM", ""));
    SearchFor(QStringLiteral("example.com"));
    const QString first = Sheet();
    ASSERT_TRUE(first.contains(QStringLiteral("Registry Expiry Date: 2027-01-01"))) << first.toStdString();
    // Nothing to compare the first report with: it ends as it always did.
    EXPECT_FALSE(first.contains(QStringLiteral("CHANGES SINCE")));
    EXPECT_FALSE(first.contains(QStringLiteral("No earlier report")));
    EXPECT_EQ(Status(), QStringLiteral("Done"));

    m_transport.SetDefaultReply("whois.verisign-grs.com",
                                RegistryReply("2028-01-01T00:00:00.000+0000", "NS3.EXAMPLE.COM", "clientHold"));
    SearchFor(QStringLiteral("EXAMPLE.com"));
    const QString second = Sheet();
    const qsizetype section = second.indexOf(QStringLiteral("CHANGES SINCE "));
    ASSERT_GE(section, 0) << second.toStdString();
    // The section ends the report: after the last line of the registry's answer.
    EXPECT_GT(section, second.lastIndexOf(QStringLiteral("Registry Expiry Date: 2028-01-01")));
    const QString changes = second.mid(section);
    for (const QString& expected :
         { QStringLiteral("2027-01-01T00:00:00Z -> 2028-01-01T00:00:00.000+0000"), QStringLiteral("added"),
           QStringLiteral("NS3.EXAMPLE.COM"), QStringLiteral("removed"), QStringLiteral("NS2.EXAMPLE.COM"),
           QStringLiteral("clientHold") })
        EXPECT_TRUE(changes.contains(expected, Qt::CaseInsensitive)) << expected.toStdString();
    // Volatile lines and values that did not change say nothing.
    EXPECT_FALSE(changes.contains(QStringLiteral("Last update")));
    EXPECT_FALSE(changes.contains(QStringLiteral("NS1.EXAMPLE.COM"), Qt::CaseInsensitive));
    EXPECT_FALSE(changes.contains(QStringLiteral("clientTransferProhibited")));

    HistoryWindow* history = OpenHistoryWindow();
    ASSERT_NE(history, nullptr);
    ASSERT_TRUE(WaitForRows(history, 2)) << StatusOf(history).toStdString();
    // Newest first, each with its own query as typed and its outcome.
    EXPECT_EQ(List(history)->topLevelItem(0)->text(1), QStringLiteral("EXAMPLE.com"));
    EXPECT_EQ(List(history)->topLevelItem(1)->text(1), QStringLiteral("example.com"));
    EXPECT_EQ(List(history)->topLevelItem(1)->text(3), QStringLiteral("answered"));
    // The filter ignores the case of letters and takes its wildcards literally.
    auto* filter = history->findChild<QLineEdit*>(QStringLiteral("historyFilter"));
    filter->setText(QStringLiteral("exa%"));
    ASSERT_TRUE(WaitForRows(history, 0));
    filter->setText(QStringLiteral("AMPLE.C"));
    ASSERT_TRUE(WaitForRows(history, 2));

    // The older report, opened: shown again under its mark, with no server asked.
    const qsizetype exchanges = m_transport.Exchanges().size();
    List(history)->setCurrentItem(List(history)->topLevelItem(1));
    QTest::mouseClick(history->findChild<QPushButton*>(QStringLiteral("openButton")), Qt::LeftButton);
    EXPECT_EQ(m_transport.Exchanges().size(), exchanges);
    // "Clear Before Search" is on: the worksheet holds the stored copy alone, under its mark.
    const QString stored = Sheet();
    const qsizetype mark = stored.indexOf(QStringLiteral("STORED COPY of the report of example.com recorded "));
    ASSERT_EQ(mark, 0) << stored.toStdString();
    EXPECT_TRUE(stored.mid(mark).contains(QStringLiteral("Registry Expiry Date: 2027-01-01T00:00:00Z")));
    EXPECT_FALSE(stored.contains(QStringLiteral("2028-01-01")));

    // Clear History asks first; "No" keeps everything, "Yes" empties the list.
    m_messages.SetNextAnswer(QMessageBox::No);
    QTest::mouseClick(history->findChild<QPushButton*>(QStringLiteral("clearHistoryButton")), Qt::LeftButton);
    ASSERT_TRUE(WaitForRows(history, 2));
    m_messages.SetNextAnswer(QMessageBox::Yes);
    QTest::mouseClick(history->findChild<QPushButton*>(QStringLiteral("clearHistoryButton")), Qt::LeftButton);
    filter->clear();
    ASSERT_TRUE(WaitForRows(history, 0));
    // With the history empty, the next report has no earlier one again.
    SearchFor(QStringLiteral("example.com"));
    EXPECT_FALSE(Sheet().contains(QStringLiteral("CHANGES SINCE")));
}

TEST_F(MainWindowHistoryTest, AStoreThatCannotBeOpenedNeverStopsASearchAndSaysWhy)
{
    // A folder where the store file belongs: SQLite cannot open it.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("history.sqlite")));
    m_transport.SetDefaultReply("whois.verisign-grs.com", RegistryReply("2027-01-01T00:00:00Z", "NS2.EXAMPLE.COM", ""));
    SearchFor(QStringLiteral("example.com"));
    EXPECT_TRUE(Sheet().contains(QStringLiteral("Registry Expiry Date: 2027-01-01")));
    EXPECT_TRUE(Status().startsWith(QStringLiteral("Done; the search was not recorded: "))) << Status().toStdString();

    HistoryWindow* history = OpenHistoryWindow();
    ASSERT_NE(history, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([history] {
        return StatusOf(history).startsWith(QStringLiteral("The history is unavailable: "));
    })) << StatusOf(history).toStdString();
    EXPECT_FALSE(history->findChild<QPushButton*>(QStringLiteral("clearHistoryButton"))->isEnabled());
}

TEST_F(MainWindowHistoryTest, KeepHistoryOffRecordsNothing)
{
    m_settings->KeepHistory = false;
    m_transport.SetDefaultReply("whois.verisign-grs.com", RegistryReply("2027-01-01T00:00:00Z", "NS2.EXAMPLE.COM", ""));
    SearchFor(QStringLiteral("example.com"));
    SearchFor(QStringLiteral("example.com"));
    EXPECT_FALSE(Sheet().contains(QStringLiteral("No changes since")));
    HistoryWindow* history = OpenHistoryWindow();
    ASSERT_NE(history, nullptr);
    ASSERT_TRUE(WaitForRows(history, 0));
    EXPECT_EQ(StatusOf(history), QStringLiteral("No searches are recorded yet."));
}
