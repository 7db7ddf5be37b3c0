#include "support/failing_device.h"

#include <algorithm>

namespace vesk::test {

FailingDevice::FailingDevice(qint64 failAt, QIODevice* inner)
    : m_failAt(failAt)
    , m_inner(inner)
{
    // Unbuffered, so each write reaches writeData and its failure reaches the writer at once.
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 FailingDevice::readData(char*, qint64)
{
    return -1;
}

qint64 FailingDevice::writeData(const char* data, qint64 size)
{
    if (m_taken >= m_failAt) {
        setErrorString(QStringLiteral("No space left on device (simulated)"));
        return -1;
    }
    const qint64 count = std::min(size, m_failAt - m_taken);
    if (m_inner) {
        const qint64 passed = m_inner->write(data, count);
        if (passed < 0) {
            setErrorString(m_inner->errorString());
            return -1;
        }
        m_taken += passed;
        return passed;
    }
    m_written.append(data, count);
    m_taken += count;
    return count;
}

} // namespace vesk::test
