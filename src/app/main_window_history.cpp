// The main window's history commands: recording each search, the History window, stored reports shown again.
#include "app/history_window.h"
#include "app/main_window.h"
#include "app/message_box.h"
#include "lookup/lookup_engine.h"
#include "settings/settings_store.h"

#include <QDir>

namespace vesk {

HistoryThread* TfrmMain::History()
{
    if (m_history == nullptr && !m_locations.UserDataDir.isEmpty()) {
        RetentionLimits limits;
        limits.ReportsPerKey = m_settings.HistoryReportsPerQuery;
        limits.TotalBytes = qint64(m_settings.HistorySizeMiB) * 1024 * 1024;
        m_history = std::make_unique<HistoryThread>(
            QDir(m_locations.UserDataDir).filePath(QStringLiteral("history.sqlite")), limits);
    }
    return m_history.get();
}

void TfrmMain::SearchAndRecord(const QString& typed)
{
    SearchOptions options = SearchOptionsNow();
    if (!m_settings.KeepHistory || History() == nullptr) {
        m_engine->Search(options);
        return;
    }
    m_capture.Begin(typed, options.Observer);
    options.Observer = &m_capture;
    try {
        m_engine->Search(options);
    } catch (...) {
        // A search that ended with an error is no completed search: nothing is recorded.
        m_capture.Finish(QString(), QueryKind::Plain, true, false);
        throw;
    }
    const SearchRecord search = m_capture.Finish(m_searches.Query(), m_engine->LastQueryKind(), m_engine->WasStopped(),
                                                 m_engine->AnyServerAnswered());
    const WindowRecordOutcome outcome = RecordWindowSearch(*m_history, search);
    for (const QString& line : outcome.Section)
        AppendLine(line);
    if (!outcome.Problem.isEmpty())
        ShowStatus(QStringLiteral("Done; the search was not recorded: %1").arg(outcome.Problem));
    if (m_historyWindow != nullptr && m_historyWindow->isVisible())
        m_historyWindow->Refresh();
}

void TfrmMain::OpenHistory()
{
    HistoryThread* history = History();
    if (history == nullptr) {
        m_messages.Show(this, MessageSink::Kind::Error,
                        QStringLiteral("The history is unavailable: there is no data folder to keep it in."));
        return;
    }
    if (m_historyWindow == nullptr) {
        m_historyWindow = new HistoryWindow(
            *history, m_messages, [this](const StoredReport& report) { return ShowStoredReport(report); }, this);
    }
    m_historyWindow->Refresh();
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

bool TfrmMain::ShowStoredReport(const StoredReport& report)
{
    // A running search writes into the worksheet itself; the stored copy waits for the user to ask again.
    if (m_searches.IsSearching())
        return false;
    if (m_settings.ClearBeforeSearch)
        ClearLines();
    AppendLine(StoredCopyMark(report));
    AppendLines(report.Report);
    AppendLine(QString());
    ShowStatus(QStringLiteral("Stored copy of %1").arg(report.Typed.isEmpty() ? report.Sent : report.Typed));
    return true;
}

} // namespace vesk
