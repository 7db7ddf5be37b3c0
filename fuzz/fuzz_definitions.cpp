// The definition container and both row parsers on arbitrary bytes: decryption either gives bytes or throws the
// container's own error, the row parsers accept anything, and what the writer encrypts decrypts to the same bytes.
// Input: one selector byte, then the bytes.

#include "defs/definition_file.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vesk;
    if (size == 0)
        return 0;
    static const DefinitionKey key = UnscrambleKey();
    const QByteArrayView bytes = fuzz::Bytes(data + 1, size - 1);

    QByteArray plain;
    try {
        plain = DecryptDefinitionFile(bytes, key);
        VESK_FUZZ_CHECK(bytes.size() >= 32, "a container has an IV and a final block");
        VESK_FUZZ_CHECK(plain.size() <= bytes.size() - 16, "plain text no longer than the blocks");
    } catch (const ECipherException& e) {
        VESK_FUZZ_CHECK(QByteArrayView(e.what()) == QByteArrayView("Invalid file format"), "error message");
    }

    // The selector decides whether the rows come from the decrypted bytes or straight from the input.
    const QByteArrayView rows = data[0] & 1 ? QByteArrayView(plain) : bytes;
    for (const TTLDData& row : ParseTldRows(rows))
        VESK_FUZZ_CHECK(!row.Tld.contains("\r\n") && !row.Server.contains("\r\n"), "TLD row within its line");
    for (const THostMark& row : ParseHostMarkRows(rows)) {
        VESK_FUZZ_CHECK(row.Kind >= 0 && row.Kind <= 4, "Kind 0 to 4");
        VESK_FUZZ_CHECK(!row.Host.contains("\r\n"), "profile row within its line");
    }

    if (bytes.size() <= 4096) {
        const QByteArray sealed = EncryptDefinitionFile(bytes, key, static_cast<uint16_t>(data[0] | 1));
        VESK_FUZZ_CHECK(DecryptDefinitionFile(sealed, key) == bytes, "encrypt then decrypt gives the bytes back");
    }
    return 0;
}
