/// The recording message sink: the desktop's messages, kept and answered for the tests.
#pragma once

#include "app/message_box.h"

#include <QList>
#include <QStringList>

namespace vesk::test {

/// Remembers every message and answers it at once: with a queued answer when there is one, else with the first
/// button offered, as a user pressing Enter would.
class RecordingMessageSink final : public MessageSink
{
public:
    QMessageBox::StandardButton Ask(QWidget* /*parent*/, Kind kind, const QString& text,
                                    QMessageBox::StandardButtons buttons) override
    {
        m_shown.append(text);
        m_kinds.append(kind);
        return m_answers.isEmpty() ? FirstButton(buttons) : m_answers.takeFirst();
    }

    /// Queues the answer of the next message (first in, first out).
    void SetNextAnswer(QMessageBox::StandardButton answer) { m_answers.append(answer); }
    /// The texts of every message, in order.
    const QStringList& Shown() const { return m_shown; }
    /// Their kinds, in the same order.
    const QList<Kind>& ShownKinds() const { return m_kinds; }

private:
    QStringList m_shown;
    QList<Kind> m_kinds;
    QList<QMessageBox::StandardButton> m_answers;
};

} // namespace vesk::test
