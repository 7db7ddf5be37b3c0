#include "app/message_box.h"
#include "app/options_dialog.h"
#include "app/splash_window.h"
#include "common/day_numbers.h"
#include "recording_message_sink.h"
#include "settings/settings_store.h"
#include "support/temp_settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vesk_version.h>

using namespace vesk;

class OptionsDialogTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // The date shows the month's name in the user's language; the expectations below are in English.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        m_settings = std::make_unique<TReg>(m_temp.Open(), TReg::WriteBack::AtExit, SystemClock());
        m_dialog = std::make_unique<TfmOption>(
            *m_settings, [this] { return m_update(); }, m_messages);
        m_dialog->SetupOptions();
    }
    void TearDown() override { QLocale::setDefault(m_locale); }

    template <typename T> T* Find(const char* name) const
    {
        T* child = m_dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    const QLocale m_locale;
    test::TempSettings m_temp;
    std::unique_ptr<TReg> m_settings;
    std::function<UpdateOutcome()> m_update = [] { return UpdateOutcome { .Succeeded = true }; };
    test::RecordingMessageSink m_messages;
    std::unique_ptr<TfmOption> m_dialog;
};

TEST_F(OptionsDialogTest, FirstRunStateAndEveryControlWhereItStands)
{
    m_dialog->show();
    EXPECT_EQ(m_dialog->size(), QSize(394, 370));
    // Each box, clicked where the user sees it, shows the first run's state and switches its own flag, saved at once.
    const struct
    {
        const char* name;
        const char* group;
        QRect place;
        bool TReg::*flag;
        const char* key;
        bool checked;
    } boxes[] = {
        { "filterCommentsCheck", "searchingGroup", { 8, 24, 345, 17 }, &TReg::FilterComments, "Filter Comments", true },
        { "clearBeforeSearchCheck",
          "searchingGroup",
          { 8, 48, 297, 17 },
          &TReg::ClearBeforeSearch,
          "Clear Before Search",
          true },
        { "inclIPCheck", "searchingGroup", { 8, 72, 297, 17 }, &TReg::InclIP, "Incl IP", true },
        { "inclDomainCheck", "searchingGroup", { 8, 96, 297, 17 }, &TReg::InclDomain, "Incl Domain", true },
        { "searchContactsCheck",
          "searchingGroup",
          { 8, 120, 297, 17 },
          &TReg::SearchContacts,
          "Search Contacts",
          true },
        { "autoUpdateCheck", "updateGroup", { 8, 24, 345, 17 }, &TReg::AutoUpdate, "Auto Update", false },
    };
    for (const auto& row : boxes) {
        SCOPED_TRACE(row.name);
        auto* group = Find<QGroupBox>(row.group);
        auto* box = qobject_cast<QCheckBox*>(group->childAt(row.place.topLeft() + QPoint(4, 8)));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->objectName(), QString::fromLatin1(row.name));
        EXPECT_EQ(box->isChecked(), row.checked);
        EXPECT_EQ(box->geometry().size(), row.place.size());
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ((*m_settings).*row.flag, !row.checked);
        EXPECT_EQ(m_temp.Get(QStringLiteral("System Settings"), QString::fromLatin1(row.key)),
                  row.checked ? QStringLiteral("0") : QStringLiteral("1"));
    }
    // The buttons where they stand: Default Settings brings the flags back, Update runs the update.
    int updates = 0;
    m_update = [&updates] { return UpdateOutcome { .Succeeded = ++updates > 0 }; };
    QWidget* defaults = m_dialog->childAt(QPoint(10 + 60, 312 + 11));
    ASSERT_NE(defaults, nullptr);
    EXPECT_EQ(defaults->objectName(), QStringLiteral("defaultsButton"));
    QTest::mouseClick(defaults, Qt::LeftButton);
    EXPECT_TRUE(m_settings->FilterComments && m_settings->SearchContacts && !m_settings->AutoUpdate);
    QWidget* update = Find<QGroupBox>("updateGroup")->childAt(QPoint(8 + 50, 56 + 12));
    ASSERT_NE(update, nullptr);
    QTest::mouseClick(update, Qt::LeftButton);
    EXPECT_EQ(updates, 1);
    EXPECT_EQ(m_dialog->childAt(QPoint(232 + 60, 312 + 11))->objectName(), QStringLiteral("okButton"));

    EXPECT_EQ(Find<QLabel>("lastUpdateLabel")->pos(), QPoint(120, 60));
    EXPECT_EQ(Find<QLabel>("lastUpdateDate")->pos(), QPoint(200, 60));
    // Whatever face stands in for the classic one, the caption ends before the date and the date inside its box.
    EXPECT_LE(Find<QLabel>("lastUpdateLabel")->geometry().right(), 200 - 2);
    EXPECT_LE(Find<QLabel>("lastUpdateDate")->geometry().right(), Find<QGroupBox>("updateGroup")->width());
    EXPECT_EQ(Find<QLabel>("lastUpdateDate")->text(),
              QLocale().toString(QDate::currentDate(), QStringLiteral("dd MMM yyyy")));
    EXPECT_EQ(TfmOption::FormatLastUpdate(DayNumber(QDate(2004, 1, 14))), QStringLiteral("14 Jan 2004"));
    EXPECT_EQ(TfmOption::FormatLastUpdate(DayNumber(QDate(2023, 5, 7))), QStringLiteral("07 May 2023"));
    // The month's name follows the user's locale.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TfmOption::FormatLastUpdate(DayNumber(QDate(2023, 5, 7))), QStringLiteral("07 Mai 2023"));

    // Tab order inside "Searching" differs from the order on screen.
    const char* order[] = { "filterCommentsCheck", "clearBeforeSearchCheck", "searchContactsCheck", "inclDomainCheck",
                            "inclIPCheck",         "autoUpdateCheck" };
    for (int i = 0; i + 1 < 6; ++i) {
        SCOPED_TRACE(order[i]);
        QWidget* next = Find<QWidget>(order[i])->nextInFocusChain();
        while ((next->focusPolicy() & Qt::TabFocus) == 0)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, Find<QWidget>(order[i + 1]));
    }
}

TEST_F(OptionsDialogTest, RdapModeSitsBelowTheUpdateBoxAndStoresItsValue)
{
    auto* mode = Find<QComboBox>("rdapMode");
    EXPECT_GE(mode->geometry().top(), Find<QGroupBox>("updateGroup")->geometry().bottom());
    EXPECT_EQ(mode->currentData().toString(), QStringLiteral("fallback"));
    mode->setCurrentIndex(2);
    Q_EMIT mode->activated(2);
    EXPECT_EQ(m_settings->RdapMode, QStringLiteral("never"));
}

TEST_F(OptionsDialogTest, ClicksChangeTheFlagsAtOnceAndDefaultsKeepTheFont)
{
    QTest::mouseClick(Find<QCheckBox>("clearBeforeSearchCheck"), Qt::LeftButton);
    EXPECT_FALSE(m_settings->ClearBeforeSearch);
    // Saved as it changes: a session that ends without an orderly exit keeps it.
    EXPECT_EQ(m_temp.Get(QStringLiteral("System Settings"), QStringLiteral("Clear Before Search")),
              QStringLiteral("0"));
    QTest::mouseClick(Find<QCheckBox>("autoUpdateCheck"), Qt::LeftButton);
    EXPECT_TRUE(m_settings->AutoUpdate);
    QTest::mouseClick(Find<QCheckBox>("inclIPCheck"), Qt::LeftButton);
    EXPECT_FALSE(m_settings->InclIP);

    m_settings->FontName = QStringLiteral("DejaVu Sans");
    m_settings->FontStyle = 3;
    m_settings->LastUpdate = 40000;
    QTest::mouseClick(Find<QPushButton>("defaultsButton"), Qt::LeftButton);
    EXPECT_TRUE(m_settings->ClearBeforeSearch && m_settings->InclIP && m_settings->FilterComments
                && m_settings->InclDomain && m_settings->SearchContacts);
    EXPECT_FALSE(m_settings->AutoUpdate);
    EXPECT_FALSE(Find<QCheckBox>("autoUpdateCheck")->isChecked());
    EXPECT_TRUE(Find<QCheckBox>("clearBeforeSearchCheck")->isChecked());
    EXPECT_EQ(m_settings->FontName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(m_settings->FontStyle, 3);
    EXPECT_EQ(m_settings->LastUpdate, 40000);

    // Unticked and stored at exit.
    QTest::mouseClick(Find<QCheckBox>("clearBeforeSearchCheck"), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>("okButton"), Qt::LeftButton);
    m_dialog.reset();
    m_settings.reset();
    EXPECT_EQ(m_temp.Get(QStringLiteral("System Settings"), QStringLiteral("Clear Before Search")),
              QStringLiteral("0"));
}

TEST_F(OptionsDialogTest, UpdateOutcomes)
{
    const int before = DayNumber(QDate(2004, 1, 14));
    m_settings->LastUpdate = before;
    m_dialog->RefreshOptions();

    // Failure: the message, and the date stays.
    m_update = [] { return UpdateOutcome { .Failure = QStringLiteral("definition set not signed by a release key") }; };
    QTest::mouseClick(Find<QPushButton>("updateButton"), Qt::LeftButton);
    ASSERT_EQ(m_messages.Shown().size(), 1);
    EXPECT_EQ(m_messages.Shown()[0],
              QStringLiteral("Fail to update, please retry next time.\ndefinition set not signed by a release key"));
    EXPECT_EQ(m_messages.ShownKinds()[0], MessageSink::Kind::Plain) << "a plain box, without an icon";
    EXPECT_EQ(Find<QLabel>("lastUpdateDate")->text(), QStringLiteral("14 Jan 2004"));
    EXPECT_EQ(m_settings->LastUpdate, before);

    // Success: the new date shows.
    m_update = [this] {
        m_settings->LastUpdate = DayNumber(QDate(2024, 2, 29));
        return UpdateOutcome { .Succeeded = true };
    };
    QTest::mouseClick(Find<QPushButton>("updateButton"), Qt::LeftButton);
    EXPECT_EQ(m_messages.Shown().size(), 1);
    EXPECT_EQ(Find<QLabel>("lastUpdateDate")->text(), QStringLiteral("29 Feb 2024"));
    EXPECT_EQ(m_temp.Get(QStringLiteral("System Settings"), QStringLiteral("Last Update")),
              QString::number(DayNumber(QDate(2024, 2, 29))))
        << "saved with the update, not only at exit";

    // A damaged new file: its own message, and the dialog stays usable.
    m_update = []() -> UpdateOutcome { throw std::runtime_error("Invalid file format"); };
    QTest::mouseClick(Find<QPushButton>("updateButton"), Qt::LeftButton);
    ASSERT_EQ(m_messages.Shown().size(), 2);
    EXPECT_EQ(m_messages.Shown()[1], QStringLiteral("Invalid file format"));
}

TEST(SplashWindowTest, SplashAndAboutUses)
{
    EXPECT_EQ(TfmSplash::VersionText(1, 1, 1), QStringLiteral("ver. 1 . 1 . 1"));
    const QString version = TfmSplash::VersionText(VESK_VERSION_MAJOR, VESK_VERSION_MINOR, VESK_VERSION_RELEASE);
    const char* aboutOnly[]
        = { "closeButton", "creditsHeading", "creditLine1", "creditLine2", "creditLine3", "legalNotice" };

    TfmSplash splash;
    splash.SetupSplash();
    splash.SplashMode();
    splash.show();
    EXPECT_EQ(splash.size(), QSize(481, 336));
    EXPECT_EQ(splash.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Dark))
        << "the frame follows the desktop's colours";
    EXPECT_EQ(splash.findChild<QLabel*>(QStringLiteral("versionLabel"))->text(), version);
    EXPECT_TRUE(splash.findChild<QLabel*>(QStringLiteral("splashPicture"))->isVisible());
    EXPECT_FALSE(splash.findChild<QLabel*>(QStringLiteral("splashPicture"))->pixmap().isNull());
    for (const char* name : aboutOnly)
        EXPECT_FALSE(splash.findChild<QWidget*>(QString::fromLatin1(name))->isVisible()) << name;

    QWidget owner;
    TfmSplash about(&owner);
    about.SetupSplash();
    about.show();
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("versionLabel"))->text(), version);
    EXPECT_FALSE(about.findChild<QLabel*>(QStringLiteral("splashPicture"))->isVisible());
    for (const char* name : aboutOnly)
        EXPECT_TRUE(about.findChild<QWidget*>(QString::fromLatin1(name))->isVisible()) << name;
    EXPECT_EQ(about.findChild<QPushButton*>(QStringLiteral("closeButton"))->geometry(), QRect(88, 288, 121, 25));
    QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("closeButton")), Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
}

TEST(SplashWindowTest, AboutTextsFitTheirPlaces)
{
    QWidget owner;
    TfmSplash about(&owner);
    about.SetupSplash();
    about.show();
    // The legal notice keeps its box; its wording has to fit in it with the fonts at hand.
    const auto* legal = about.findChild<QLabel*>(QStringLiteral("legalNotice"));
    EXPECT_EQ(legal->geometry(), QRect(88, 176, 316, 56));
    EXPECT_LE(legal->heightForWidth(legal->width()), legal->height()) << "the notice is cut off";

    const QWidget* panel = about.findChild<QWidget*>(QStringLiteral("splashPanel"));
    for (const QLabel* label : panel->findChildren<QLabel*>()) {
        SCOPED_TRACE(label->objectName().toStdString());
        if (label->isVisible()) {
            EXPECT_TRUE(panel->rect().contains(label->geometry()));
        }
    }
}

TEST(SplashWindowTest, TheTaglineTakesOneLineInItsBox)
{
    QWidget owner;
    TfmSplash about(&owner);
    TfmSplash splash;
    for (TfmSplash* window : { &about, &splash }) {
        window->SetupSplash();
        window->show();
        const auto* tagline = window->findChild<QLabel*>(QStringLiteral("taglineLabel"));
        const auto* notice = window->findChild<QLabel*>(QStringLiteral("noticeLabel"));
        EXPECT_EQ(tagline->text(), QStringLiteral("Query Tool for WHOIS In Details"));
        EXPECT_EQ(tagline->pos(), QPoint(88, 56));
        EXPECT_LE(tagline->width(), 241);
        EXPECT_LE(tagline->font().pixelSize(), 16);
        EXPECT_TRUE(tagline->font().bold());
        EXPECT_LE(QFontMetrics(tagline->font()).horizontalAdvance(tagline->text()), 241);
        EXPECT_LE(tagline->geometry().bottom(), notice->geometry().top()) << "drawn over the notice";
    }
}

TEST(SplashWindowTest, ClosesWhenAnotherWindowOfTheProgramTakesTheFocus)
{
    TfmSplash splash;
    splash.SetupSplash();
    splash.SplashMode();
    splash.show();
    splash.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &splash; }));
    QWidget main;
    main.show();
    main.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !splash.isVisible(); }));
}
