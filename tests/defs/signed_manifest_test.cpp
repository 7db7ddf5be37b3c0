#include "defs/signed_manifest.h"
#include "support/signed_sets.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <stdexcept>

namespace vesk {
namespace {

const QByteArray kDigest = QByteArray(64, 'a');

TEST(SignedManifestTest, WhatIsWrittenReadsBack)
{
    const SetManifest written {
        46000,
        { { "vesk1.def", 1234, Sha256("one") }, { "vesk2.def", 0, Sha256("") }, { "vesk-v.txt", 20, Sha256("two") } }
    };
    const std::optional<SetManifest> read = ParseManifest(FormatManifest(written));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Version, 46000);
    ASSERT_EQ(read->Files.size(), 3);
    for (const ManifestEntry& entry : written.Files) {
        const ManifestEntry* found = read->Find(entry.Name);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found->Size, entry.Size);
        EXPECT_EQ(found->Sha256, entry.Sha256);
    }
    EXPECT_EQ(Sha256("abc").toHex(), QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    EXPECT_TRUE(MatchesEntry({ "x", 3, Sha256("abc") }, "abc"));
    EXPECT_FALSE(MatchesEntry({ "x", 3, Sha256("abc") }, "abd"));
    EXPECT_FALSE(MatchesEntry({ "x", 2, Sha256("abc") }, "abc"));
}

TEST(SignedManifestTest, AnythingButTheWrittenFormIsRefused)
{
    const QByteArray line = "vesk1.def 10 " + kDigest + "\n";
    const struct
    {
        const char* name;
        QByteArray text;
    } rows[] = {
        { "empty", "" },
        { "no version", line },
        { "two versions", line + "version 1\nversion 2\n" },
        { "no final line end", line + "version 1" },
        { "CR LF", "vesk1.def 10 " + kDigest + "\r\nversion 1\r\n" },
        { "negative version", line + "version -1\n" },
        { "version beyond the calendar", line + "version 2958466\n" },
        { "version of 40 digits", line + "version " + QByteArray(40, '9') + "\n" },
        { "name twice", line + line + "version 1\n" },
        { "folder in the name", "../vesk1.def 10 " + kDigest + "\nversion 1\n" },
        { "short digest", "vesk1.def 10 " + kDigest.left(62) + "\nversion 1\n" },
        { "upper-case digest", "vesk1.def 10 " + kDigest.toUpper() + "\nversion 1\n" },
        { "signed size", "vesk1.def +10 " + kDigest + "\nversion 1\n" },
        { "two blanks", "vesk1.def  10 " + kDigest + "\nversion 1\n" },
        { "blank line", line + "\nversion 1\n" },
        { "too large", line + QByteArray(kMaxManifestSize, '#') + "\nversion 1\n" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(ParseManifest(row.text));
    }
    EXPECT_TRUE(ParseManifest(line + "version 1\n"));
}

TEST(SignedManifestTest, OnlyTheSignedBytesVerifyAndOnlyWithTheirKey)
{
    const test::TestKeys keys = test::MakeTestKeys();
    const test::TestKeys other = test::MakeTestKeys();
    const QByteArray text = "vesk1.def 10 " + kDigest + "\nversion 46000\n";
    const QByteArray signature = SignManifest(text, keys.PrivatePem);
    EXPECT_EQ(signature.size(), 64);
    EXPECT_TRUE(SignedByOneOf(text, signature, { keys.PublicPem }));
    EXPECT_TRUE(SignedByOneOf(text, signature, { "", "garbage", other.PublicPem, keys.PublicPem }));
    EXPECT_FALSE(SignedByOneOf(text, signature, { other.PublicPem }));
    EXPECT_FALSE(SignedByOneOf(text, signature, {}));
    EXPECT_FALSE(SignedByOneOf(text.left(text.size() - 2) + "1\n", signature, { keys.PublicPem }));
    QByteArray flipped = signature;
    flipped[5] = static_cast<char>(flipped[5] ^ 1);
    EXPECT_FALSE(SignedByOneOf(text, flipped, { keys.PublicPem }));
    EXPECT_FALSE(SignedByOneOf(text, signature.left(63), { keys.PublicPem }));
    EXPECT_FALSE(SignedByOneOf(text, QByteArray(), { keys.PublicPem }));
    EXPECT_FALSE(SignedByOneOf(text, signature + QByteArray(2000, 'x'), { keys.PublicPem }));
    // A private key in the trusted list is no public key.
    EXPECT_FALSE(SignedByOneOf(text, signature, { keys.PrivatePem }));
}

TEST(SignedManifestTest, SigningWantsAnEd25519PrivateKey)
{
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> ec(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"),
                                                                 &EVP_PKEY_free);
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    ASSERT_EQ(PEM_write_bio_PrivateKey(bio.get(), ec.get(), nullptr, nullptr, 0, nullptr, nullptr), 1);
    char* data = nullptr;
    const QByteArray ecPem(data, static_cast<qsizetype>(BIO_get_mem_data(bio.get(), &data)));
    for (const QByteArray& key : { ecPem, test::MakeTestKeys().PublicPem, QByteArray("not a key") }) {
        EXPECT_THROW(SignManifest("text", key), std::runtime_error);
        EXPECT_TRUE(PublicKeyOf(key).isEmpty());
    }
}

TEST(SignedManifestTest, TheReleaseKeysAreTheProjectsPublicKeys)
{
    QFile shipped(QStringLiteral(VESK_SOURCE_DIR "/data/keys/definitions-release.pub.pem"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QList<QByteArray> keys = ReleaseKeys();
    EXPECT_TRUE(keys.contains(shipped.readAll()));
    // Each is a usable Ed25519 public key: a signature it did not make is refused, not an error.
    for (const QByteArray& key : keys)
        EXPECT_FALSE(SignedByOneOf("text", QByteArray(64, '\0'), { key }));
}

} // namespace
} // namespace vesk
