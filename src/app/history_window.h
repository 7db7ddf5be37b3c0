/// The History window: past searches of every program that records, newest first, filterable by text.
#pragma once

#include "history/history_store.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace vesk {

class HistoryThread;
class MessageSink;

/// Lists the recorded searches (local time, query, kind, outcome), filtered as the user types; Open (or Enter, or
/// a double click) hands the chosen report to the window; Clear History empties the store after a confirmation.
/// A store that cannot be used says why in the window's own status line.
class HistoryWindow : public QDialog
{
    Q_OBJECT

public:
    /// Shows a stored report in the worksheet; false when it cannot now (a search runs).
    using OpenFunction = std::function<bool(const StoredReport& report)>;

    HistoryWindow(HistoryThread& history, MessageSink& messages, OpenFunction open, QWidget* owner = nullptr);

    /// Reads the list again for the filter as it is now.
    void Refresh();

private:
    void ShowList(const QList<ReportSummary>& list, const QString& problem);
    void OpenChosen();
    void ClearHistory();

    HistoryThread& m_history;
    MessageSink& m_messages;
    OpenFunction m_open;
    QLineEdit* m_filter = nullptr;
    QTreeWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_openButton = nullptr;
    QPushButton* m_clearButton = nullptr;
    quint64 m_generation = 0; ///< the latest listing asked for; older answers are dropped
};

} // namespace vesk
