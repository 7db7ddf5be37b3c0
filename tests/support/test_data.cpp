#include "support/test_data.h"

#include <QFile>
#include <gtest/gtest.h>

namespace vesk::test {

QString TestDataPath(const QString& relativePath)
{
    return QStringLiteral(VESK_TEST_DATA "/") + relativePath;
}

QByteArray ReadTestData(const QString& relativePath)
{
    QFile file(TestDataPath(relativePath));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing test data: " << file.fileName().toStdString();
        return {};
    }
    return file.readAll();
}

QByteArray WhoisFixture(const char* name)
{
    return ReadTestData(QStringLiteral("whois/") + QString::fromLatin1(name));
}

} // namespace vesk::test
