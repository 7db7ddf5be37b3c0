/// The options dialog: the search switches, the definition update and its date.
#pragma once

#include "update/definition_update.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace vesk {

class MessageSink;
class TReg;

/// The options dialog: the search and update flags, Keep History, the day of the last definition check, an update at
/// once and the return of the flags to their defaults. Every click changes the settings at once; there is no
/// Cancel, and "OK" and the close box do the same.
class TfmOption : public QDialog
{
    Q_OBJECT

public:
    /// Runs the definition update; true when it succeeded. It may throw (a damaged new file).
    using UpdateFunction = std::function<UpdateOutcome()>;

    TfmOption(TReg& settings, UpdateFunction update, MessageSink& messages, QWidget* owner = nullptr);

    /// Creates the three push buttons, shows the settings, then connects the check boxes.
    void SetupOptions();
    /// Sets each check box from its flag and the date label from "Last Update".
    void RefreshOptions();

    /// The "Last Update" day as the dialog shows it: two-digit day, the short month name of the default locale,
    /// four-digit year ("14 Jan 2004" in English).
    static QString FormatLastUpdate(int dayNumber);

private:
    void RestoreDefaults();
    void RunUpdate();

    TReg& m_settings;
    UpdateFunction m_update;
    MessageSink& m_messages;
    QGroupBox* m_searching = nullptr;
    QGroupBox* m_updating = nullptr;
    QCheckBox* m_filterComments = nullptr;
    QCheckBox* m_clearBeforeSearch = nullptr;
    QCheckBox* m_inclIP = nullptr;
    QCheckBox* m_inclDomain = nullptr;
    QCheckBox* m_searchContacts = nullptr;
    QCheckBox* m_autoUpdate = nullptr;
    QComboBox* m_rdapMode = nullptr; ///< "RDAP Mode", in the free strip above the buttons
    QCheckBox* m_keepHistory = nullptr; ///< "Keep History", in the free strip below the buttons
    QLabel* m_lastUpdateDate = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_defaults = nullptr;
    QPushButton* m_updateButton = nullptr;
};

} // namespace vesk
