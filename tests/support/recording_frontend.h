/// The recording front end: what the engine showed, kept for the tests to read.
#pragma once

#include "lookup/frontend.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace vesk::test {

/// A front end that remembers everything the engine did to it: the worksheet lines, every status text, the
/// query box, the busy cursor changes. A hook runs inside ProcessPendingEvents, where the window would handle a
/// click: tests press stop or start a second search there.
class RecordingFrontend : public Frontend
{
public:
    void AppendLine(const QString& line) override;
    void ClearLines() override;
    void ShowStatus(const QString& text) override;
    void ProcessPendingEvents() override;
    QByteArray QueryText() const override { return m_query; }
    void SetQueryText(const QByteArray& text) override;
    void SetBusy(bool busy) override { m_busy.append(busy); }

    /// Runs inside every ProcessPendingEvents call, with the number of the call (from 1).
    void SetEventHook(std::function<void(int call)> hook) { m_hook = std::move(hook); }

    const QStringList& Lines() const { return m_lines; }
    /// The worksheet as one text, lines joined by LF.
    QString Text() const { return m_lines.join(u'\n'); }
    const QList<QByteArray>& Statuses() const { return m_statuses; }
    QByteArray Status() const { return m_statuses.isEmpty() ? QByteArray() : m_statuses.last(); }
    const QList<QByteArray>& QueryHistory() const { return m_queryHistory; }
    const QList<bool>& BusyHistory() const { return m_busy; }
    int Clears() const { return m_clears; }
    int EventCalls() const { return m_eventCalls; }

private:
    QStringList m_lines;
    QList<QByteArray> m_statuses;
    QByteArray m_query;
    QList<QByteArray> m_queryHistory;
    QList<bool> m_busy;
    int m_clears = 0;
    int m_eventCalls = 0;
    std::function<void(int)> m_hook;
};

} // namespace vesk::test
