#pragma once

#include <QByteArray>
#include <QIODevice>
#include <limits>

namespace vesk::test {

/// A write-only device that fails on write: it takes `failAt` bytes, then every write fails with an error
/// string (a write that crosses the limit is cut short there). The bytes taken go to `inner` when one is given
/// (so a failure can be put in front of a real file) and are kept in Written() otherwise. Open on construction.
class FailingDevice : public QIODevice
{
public:
    static constexpr qint64 kNever = std::numeric_limits<qint64>::max();

    /// `failAt` 0: the first write fails; kNever: no write fails. `inner` is borrowed and must be open.
    explicit FailingDevice(qint64 failAt = 0, QIODevice* inner = nullptr);

    /// The bytes taken, when there is no inner device.
    const QByteArray& Written() const { return m_written; }
    /// How many bytes were taken in all.
    qint64 Taken() const { return m_taken; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    qint64 m_failAt;
    QIODevice* m_inner;
    QByteArray m_written;
    qint64 m_taken = 0;
};

} // namespace vesk::test
