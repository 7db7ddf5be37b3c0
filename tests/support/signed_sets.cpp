#include "support/signed_sets.h"

#include "defs/definition_file.h"
#include "defs/definition_sets.h"
#include "defs/signed_manifest.h"
#include "support/fake_http_server.h"

#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <stdexcept>

namespace vesk::test {

TestKeys MakeTestKeys()
{
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"),
                                                                  &EVP_PKEY_free);
    const std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    if (!key || !bio || PEM_write_bio_PrivateKey(bio.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throw std::runtime_error("no Ed25519 key could be made");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    TestKeys keys;
    keys.PrivatePem = QByteArray(data, static_cast<qsizetype>(size));
    keys.PublicPem = PublicKeyOf(keys.PrivatePem);
    return keys;
}

void PublishSignedSet(FakeHttpServer& server, const QByteArray& versionFile, const QByteArray& tld,
                      const QByteArray& host, const QByteArray& privatePem)
{
    int version = 0;
    ParseVersionFile(versionFile, version);
    SetManifest manifest { version, {} };
    for (const auto& [name, bytes] :
         { std::pair { kVersionFileName.Text(), versionFile }, std::pair { kTldFileName.Text(), tld },
           std::pair { kHostMarkFileName.Text(), host } }) {
        server.Serve(name, bytes);
        manifest.Files.append({ name, bytes.size(), Sha256(bytes) });
    }
    const QByteArray text = FormatManifest(manifest);
    server.Serve(kManifestFileName, text);
    server.Serve(kManifestSignatureFileName, SignManifest(text, privatePem));
}

} // namespace vesk::test
