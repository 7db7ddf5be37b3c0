/// Throw-away signing keys, and definition sets published the way vesk-defs publishes them.
#pragma once

#include <QByteArray>
#include <QList>

namespace vesk::test {

class FakeHttpServer;

/// An Ed25519 key pair in PEM, made afresh for the test that asks.
struct TestKeys
{
    QByteArray PrivatePem;
    QByteArray PublicPem;
};
TestKeys MakeTestKeys();

/// Serves a whole definition set at `server`: the version file, both definition files, and the manifest of all
/// three (version taken from `versionFile`, 0 when it has none) signed with `privatePem`.
void PublishSignedSet(FakeHttpServer& server, const QByteArray& versionFile, const QByteArray& tld,
                      const QByteArray& host, const QByteArray& privatePem);

} // namespace vesk::test
