#include "app/options_dialog.h"

#include "app/message_box.h"
#include "app/window_label.h"
#include "common/day_numbers.h"
#include "lookup/report_texts.h"
#include "settings/settings_store.h"
#include "widgets/desktop_font.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <exception>

namespace vesk {

namespace {

QCheckBox* AddCheckBox(QGroupBox* box, const QString& name, const QString& caption, const QRect& place)
{
    auto* check = new QCheckBox(caption, box);
    check->setObjectName(name);
    check->setGeometry(place);
    return check;
}

} // namespace

TfmOption::TfmOption(TReg& settings, UpdateFunction update, MessageSink& messages, QWidget* owner)
    : QDialog(owner)
    , m_settings(settings)
    , m_update(std::move(update))
    , m_messages(messages)
{
    setObjectName(QStringLiteral("fmOption"));
    setWindowTitle(QStringLiteral("Options"));
    setFont(DesktopFont(QStringLiteral("Arial"), 13));
    setFixedSize(394, 370);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    m_searching = new QGroupBox(QStringLiteral("Searching"), this);
    m_searching->setObjectName(QStringLiteral("searchingGroup"));
    m_searching->setGeometry(8, 16, 369, 153);
    m_filterComments = AddCheckBox(m_searching, QStringLiteral("filterCommentsCheck"),
                                   QStringLiteral("Filter out comments  from search result"), { 8, 24, 345, 17 });
    m_clearBeforeSearch
        = AddCheckBox(m_searching, QStringLiteral("clearBeforeSearchCheck"),
                      QStringLiteral("Clear worksheet before performing new search"), { 8, 48, 297, 17 });
    m_inclIP = AddCheckBox(m_searching, QStringLiteral("inclIPCheck"),
                           QStringLiteral("Resolve IP Address in Search by Domain Name"), { 8, 72, 297, 17 });
    m_inclDomain = AddCheckBox(m_searching, QStringLiteral("inclDomainCheck"),
                               QStringLiteral("Resolve Domain Name in Search by IP Address"), { 8, 96, 297, 17 });
    m_searchContacts = AddCheckBox(m_searching, QStringLiteral("searchContactsCheck"),
                                   QStringLiteral("Include search for Individual Contacts"), { 8, 120, 297, 17 });

    m_updating = new QGroupBox(QStringLiteral("Update Definition File"), this);
    m_updating->setObjectName(QStringLiteral("updateGroup"));
    m_updating->setGeometry(8, 176, 369, 97);
    m_autoUpdate = AddCheckBox(m_updating, QStringLiteral("autoUpdateCheck"),
                               QStringLiteral("Automatic monthly update"), { 8, 24, 345, 17 });
    // The caption has the 80 pixels up to the date; a wider stand-in face would run into it, so it shrinks.
    const QString lastUpdateCaption = QStringLiteral("Last Update:");
    const QFont labelFont = DesktopFont(QStringLiteral("MS Sans Serif"), 13);
    AddLabel(m_updating, QStringLiteral("lastUpdateLabel"), lastUpdateCaption,
             FitFontToWidth(labelFont, lastUpdateCaption, 80 - 4), 120, 60);
    m_lastUpdateDate = new QLabel(m_updating);
    m_lastUpdateDate->setObjectName(QStringLiteral("lastUpdateDate"));
    m_lastUpdateDate->setFont(labelFont);
    m_lastUpdateDate->move(200, 60);
}

void TfmOption::SetupOptions()
{
    if (m_ok == nullptr) {
        m_ok = new QPushButton(QStringLiteral("OK"), this);
        m_ok->setObjectName(QStringLiteral("okButton"));
        m_ok->setGeometry(232, 312, 121, 22);
        m_ok->setDefault(true);
        connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

        m_defaults = new QPushButton(QStringLiteral("Default Settings"), this);
        m_defaults->setObjectName(QStringLiteral("defaultsButton"));
        m_defaults->setGeometry(10, 312, 121, 22);
        connect(m_defaults, &QPushButton::clicked, this, &TfmOption::RestoreDefaults);

        m_updateButton = new QPushButton(QStringLiteral("Update"), m_updating);
        m_updateButton->setObjectName(QStringLiteral("updateButton"));
        m_updateButton->setGeometry(8, 56, 105, 25);
        connect(m_updateButton, &QPushButton::clicked, this, &TfmOption::RunUpdate);
    }

    // The RDAP mode sits in the strip between the update box and the buttons, so nothing else moves.
    auto* rdapLabel = new QLabel(QStringLiteral("RDAP:"), this);
    rdapLabel->setGeometry(16, 282, 40, 20);
    m_rdapMode = new QComboBox(this);
    m_rdapMode->setObjectName(QStringLiteral("rdapMode"));
    m_rdapMode->setAccessibleName(QStringLiteral("RDAP"));
    m_rdapMode->setGeometry(60, 281, 290, 22);
    m_rdapMode->addItem(QStringLiteral("Where port 43 has no server or no answer"),
                        QString::fromLatin1(texts::kRdapModeFallback));
    m_rdapMode->addItem(QStringLiteral("First, port 43 when RDAP gives no answer"),
                        QString::fromLatin1(texts::kRdapModeFirst));
    m_rdapMode->addItem(QStringLiteral("Never (port 43 only)"), QString::fromLatin1(texts::kRdapModeNever));
    rdapLabel->setBuddy(m_rdapMode);
    connect(m_rdapMode, &QComboBox::activated, this, [this](int index) {
        m_settings.RdapMode = m_rdapMode->itemData(index).toString();
        m_settings.Save();
    });

    // Keep History takes the strip below the buttons, the last free place that moves nothing.
    m_keepHistory = new QCheckBox(QStringLiteral("Keep a history of every search (File > History)"), this);
    m_keepHistory->setObjectName(QStringLiteral("keepHistoryCheck"));
    m_keepHistory->setGeometry(16, 342, 345, 17);

    RefreshOptions();

    // The keyboard walks the searching flags in this order, not top to bottom.
    setTabOrder(m_filterComments, m_clearBeforeSearch);
    setTabOrder(m_clearBeforeSearch, m_searchContacts);
    setTabOrder(m_searchContacts, m_inclDomain);
    setTabOrder(m_inclDomain, m_inclIP);
    setTabOrder(m_inclIP, m_autoUpdate);
    setTabOrder(m_autoUpdate, m_updateButton);
    setTabOrder(m_updateButton, m_rdapMode);
    setTabOrder(m_rdapMode, m_keepHistory);
    setTabOrder(m_keepHistory, m_defaults);
    setTabOrder(m_defaults, m_ok);

    const auto bind = [this](QCheckBox* check, bool TReg::*flag) {
        connect(check, &QCheckBox::clicked, this, [this, flag](bool checked) {
            m_settings.*flag = checked;
            m_settings.Save();
        });
    };
    bind(m_filterComments, &TReg::FilterComments);
    bind(m_clearBeforeSearch, &TReg::ClearBeforeSearch);
    bind(m_inclIP, &TReg::InclIP);
    bind(m_inclDomain, &TReg::InclDomain);
    bind(m_searchContacts, &TReg::SearchContacts);
    bind(m_autoUpdate, &TReg::AutoUpdate);
    bind(m_keepHistory, &TReg::KeepHistory);
}

void TfmOption::RefreshOptions()
{
    m_filterComments->setChecked(m_settings.FilterComments);
    m_clearBeforeSearch->setChecked(m_settings.ClearBeforeSearch);
    m_inclIP->setChecked(m_settings.InclIP);
    m_inclDomain->setChecked(m_settings.InclDomain);
    m_searchContacts->setChecked(m_settings.SearchContacts);
    m_autoUpdate->setChecked(m_settings.AutoUpdate);
    m_keepHistory->setChecked(m_settings.KeepHistory);
    m_lastUpdateDate->setText(FormatLastUpdate(m_settings.LastUpdate));
    m_lastUpdateDate->adjustSize();
    const int mode = m_rdapMode->findData(m_settings.RdapMode.trimmed().toLower());
    m_rdapMode->setCurrentIndex(mode >= 0 ? mode : 0); // anything unknown reads as the default
}

QString TfmOption::FormatLastUpdate(int dayNumber)
{
    // The month's short name is the user's own, as everywhere else on the desktop.
    return QLocale().toString(DateOfDayNumber(dayNumber), QStringLiteral("dd MMM yyyy"));
}

void TfmOption::RestoreDefaults()
{
    m_settings.RestoreDefaultFlags();
    m_settings.RdapMode = QString::fromLatin1(texts::kRdapModeFallback);
    m_settings.Save();
    RefreshOptions();
}

void TfmOption::RunUpdate()
{
    UpdateOutcome outcome;
    try {
        if (m_update)
            outcome = m_update();
        // The check's date changes with a completed update.
        m_settings.Save();
    } catch (const std::exception& error) {
        // A damaged file that was already installed: the error itself is the message.
        m_messages.Show(this, MessageSink::Kind::Error, QString::fromLocal8Bit(error.what()));
        RefreshOptions();
        return;
    }
    if (outcome.Succeeded) {
        RefreshOptions();
        return;
    }
    // The reason on a line of its own, as vesk-query prints it: a refused set is no case for "retry".
    QString message = QString::fromLatin1(kUpdateFailedMessage);
    if (!outcome.Failure.isEmpty())
        message += u'\n' + outcome.Failure;
    m_messages.Show(this, MessageSink::Kind::Plain, message);
}

} // namespace vesk
