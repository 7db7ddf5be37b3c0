/// The single-instance lock: one running Vesk, which a second start asks to come forward.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace vesk {

/// The single-instance rule: a lock named "PREVINST:" + the application's title in a per-user folder, held until
/// the object goes, plus a local socket beside it on which the first instance hears a second start asking it to
/// come to the front.
class InstanceLock : public QObject
{
    Q_OBJECT

public:
    /// Tries the lock at once. `directory` empty: the user's runtime folder.
    explicit InstanceLock(const QString& title, const QString& directory = {});
    ~InstanceLock() override;

    /// True when this process holds the lock (it is the first instance).
    bool IsFirst() const { return m_first; }
    /// The first instance listens for hand-overs; ActivateRequested fires for each. False when it cannot listen
    /// (the program then runs without hand-over).
    bool Listen();
    /// A later instance asks the first one to come to the front; true when the request was delivered within
    /// `timeoutMs`.
    bool ActivatePreviousInstance(int timeoutMs = 2000);

    QString LockPath() const { return m_lockPath; }

Q_SIGNALS:
    void ActivateRequested();

private:
    QString m_lockPath;
    QString m_serverPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_first = false;
};

} // namespace vesk
