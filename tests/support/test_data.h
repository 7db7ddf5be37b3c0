#pragma once

#include <QByteArray>
#include <QString>

namespace vesk::test {

/// Bytes of a file under tests/data, e.g. ReadTestData("whois/whois.arin.net-single-record-2013.txt").
/// Fails the calling test (and returns empty) when the file is missing, so a typo never passes silently.
QByteArray ReadTestData(const QString& relativePath);

/// A recorded WHOIS reply, tests/data/whois/<name>, e.g. WhoisFixture("whois.arin.net-single-record-2013.txt").
QByteArray WhoisFixture(const char* name);

/// Absolute path of a file or folder under tests/data.
QString TestDataPath(const QString& relativePath);

} // namespace vesk::test
