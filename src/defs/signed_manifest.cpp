#include "defs/signed_manifest.h"

#include "vesk_release_keys.h"

#include <QList>
#include <memory>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <stdexcept>

namespace vesk {

namespace {

constexpr int kDigestSize = 32;

// Keys and digests come from a library context of our own, so the system's OpenSSL configuration (which may
// restrict the default context's algorithms) cannot decide whether a set is accepted.
OSSL_LIB_CTX* Library()
{
    static const std::unique_ptr<OSSL_LIB_CTX, decltype(&OSSL_LIB_CTX_free)> library(OSSL_LIB_CTX_new(),
                                                                                     &OSSL_LIB_CTX_free);
    return library.get();
}

struct KeyDeleter
{
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;

struct BioDeleter
{
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Bio = std::unique_ptr<BIO, BioDeleter>;

struct DigestContextDeleter
{
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextDeleter>;

const unsigned char* Bytes(QByteArrayView bytes)
{
    return reinterpret_cast<const unsigned char*>(bytes.data());
}

Bio ReadOnlyBio(QByteArrayView pem)
{
    return Bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
}

// The key of `pem` when it is an Ed25519 key (private or public as asked), else null.
Key ReadEd25519(QByteArrayView pem, bool privateKey)
{
    if (pem.isEmpty() || pem.size() > qsizetype { 64 } * 1024)
        return nullptr;
    const Bio bio = ReadOnlyBio(pem);
    if (!bio)
        return nullptr;
    // A key protected by a pass phrase is refused rather than asked for on the terminal.
    pem_password_cb* const noPassPhrase = [](char*, int, int, void*) { return -1; };
    Key key(privateKey ? PEM_read_bio_PrivateKey_ex(bio.get(), nullptr, noPassPhrase, nullptr, Library(), nullptr)
                       : PEM_read_bio_PUBKEY_ex(bio.get(), nullptr, nullptr, nullptr, Library(), nullptr));
    if (!key || EVP_PKEY_is_a(key.get(), "ED25519") != 1)
        return nullptr;
    return key;
}

bool IsHex(QByteArrayView text)
{
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool IsPlainName(QByteArrayView name)
{
    if (name.isEmpty() || name == "." || name == "..")
        return false;
    for (const char c : name) {
        const auto b = static_cast<uint8_t>(c);
        if (b <= 32 || b >= 127 || c == '/' || c == '\\')
            return false;
    }
    return true;
}

// A decimal number of digits only (no sign, no blanks), within int64.
std::optional<qint64> Count(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

const ManifestEntry* SetManifest::Find(QByteArrayView name) const
{
    for (const ManifestEntry& entry : Files) {
        if (entry.Name == name)
            return &entry;
    }
    return nullptr;
}

QByteArray Sha256(QByteArrayView bytes)
{
    QByteArray digest(kDigestSize, '\0');
    std::size_t size = 0;
    if (EVP_Q_digest(Library(), "SHA256", nullptr, bytes.data(), static_cast<std::size_t>(bytes.size()),
                     reinterpret_cast<unsigned char*>(digest.data()), &size)
            != 1
        || size != kDigestSize)
        throw std::runtime_error("SHA-256 is not available");
    return digest;
}

bool MatchesEntry(const ManifestEntry& entry, QByteArrayView bytes)
{
    return bytes.size() == entry.Size && Sha256(bytes) == entry.Sha256;
}

QByteArray FormatManifest(const SetManifest& manifest)
{
    QByteArray text;
    for (const ManifestEntry& entry : manifest.Files)
        text += entry.Name + ' ' + QByteArray::number(entry.Size) + ' ' + entry.Sha256.toHex() + '\n';
    text += "version " + QByteArray::number(manifest.Version) + '\n';
    return text;
}

std::optional<SetManifest> ParseManifest(QByteArrayView text)
{
    if (text.size() > kMaxManifestSize || !text.endsWith('\n'))
        return std::nullopt;
    SetManifest manifest;
    bool versioned = false;
    for (const QByteArray& line : text.first(text.size() - 1).toByteArray().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 2 && fields[0] == "version") {
            const std::optional<qint64> day = Count(fields[1]);
            if (versioned || !day || *day > 2958465) // 31 December 9999
                return std::nullopt;
            manifest.Version = static_cast<int>(*day);
            versioned = true;
            continue;
        }
        if (fields.size() != 3 || !IsPlainName(fields[0]) || fields[2].size() != qsizetype { 2 } * kDigestSize
            || !IsHex(fields[2]) || manifest.Find(fields[0]) != nullptr)
            return std::nullopt;
        const std::optional<qint64> size = Count(fields[1]);
        if (!size)
            return std::nullopt;
        manifest.Files.append({ fields[0], *size, QByteArray::fromHex(fields[2]) });
    }
    if (!versioned)
        return std::nullopt;
    return manifest;
}

QByteArray SignManifest(QByteArrayView message, QByteArrayView privateKeyPem)
{
    const Key key = ReadEd25519(privateKeyPem, true);
    if (!key)
        throw std::runtime_error("not an Ed25519 private key in PEM form");
    const DigestContext ctx(EVP_MD_CTX_new());
    std::size_t size = 0;
    // Ed25519 hashes the message itself: no digest is named and the signing is one-shot.
    if (!ctx || EVP_DigestSignInit_ex(ctx.get(), nullptr, nullptr, Library(), nullptr, key.get(), nullptr) != 1
        || EVP_DigestSign(ctx.get(), nullptr, &size, Bytes(message), static_cast<std::size_t>(message.size())) != 1)
        throw std::runtime_error("the signature cannot be made");
    QByteArray signature(static_cast<qsizetype>(size), '\0');
    if (EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &size, Bytes(message),
                       static_cast<std::size_t>(message.size()))
        != 1)
        throw std::runtime_error("the signature cannot be made");
    signature.truncate(static_cast<qsizetype>(size));
    return signature;
}

QByteArray PublicKeyOf(QByteArrayView privateKeyPem)
{
    const Key key = ReadEd25519(privateKeyPem, true);
    const Bio bio(BIO_new(BIO_s_mem()));
    if (!key || !bio || PEM_write_bio_PUBKEY(bio.get(), key.get()) != 1)
        return QByteArray();
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return QByteArray(data, static_cast<qsizetype>(size));
}

bool SignedByOneOf(QByteArrayView message, QByteArrayView signature, const QList<QByteArray>& publicKeysPem)
{
    if (signature.isEmpty() || signature.size() > kMaxSignatureSize)
        return false;
    for (const QByteArray& pem : publicKeysPem) {
        const Key key = ReadEd25519(pem, false);
        const DigestContext ctx(EVP_MD_CTX_new());
        if (key && ctx
            && EVP_DigestVerifyInit_ex(ctx.get(), nullptr, nullptr, Library(), nullptr, key.get(), nullptr) == 1
            && EVP_DigestVerify(ctx.get(), Bytes(signature), static_cast<std::size_t>(signature.size()), Bytes(message),
                                static_cast<std::size_t>(message.size()))
                == 1)
            return true;
    }
    return false;
}

QList<QByteArray> ReleaseKeys()
{
    QList<QByteArray> keys;
    for (const char* pem : { VESK_RELEASE_KEYS })
        keys.append(QByteArray(pem));
    return keys;
}

} // namespace vesk
