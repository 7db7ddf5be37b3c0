#include "defs/definition_file.h"

#include "whois/host_text.h"

#include <QDateTime>
#include <algorithm>
#include <cstring>
#include <memory>
#include <openssl/evp.h>

namespace vesk {

namespace {

constexpr qsizetype kBlock = 16;

struct CipherContextDeleter
{
    void operator()(EVP_CIPHER_CTX* ctx) const { EVP_CIPHER_CTX_free(ctx); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

// AES-256 in ECB without padding: the bare block cipher. The chaining is done here, not by the library.
CipherContext MakeBlockCipher(const DefinitionKey& key, bool encrypt)
{
    CipherContext ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_CipherInit_ex(ctx.get(), EVP_aes_256_ecb(), nullptr, key.data(), nullptr, encrypt ? 1 : 0) != 1
        || EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
        throw ECipherException();
    return ctx;
}

// Runs whole blocks through the block cipher; `count` is a multiple of 16.
void RunBlocks(EVP_CIPHER_CTX* ctx, const uint8_t* in, uint8_t* out, qsizetype count)
{
    // EVP takes an int length: feed large inputs in slices (a whole number of blocks each).
    constexpr qsizetype kSlice = 1 << 20;
    for (qsizetype done = 0; done < count; done += kSlice) {
        const int len = static_cast<int>(std::min(kSlice, count - done));
        int written = 0;
        if (EVP_CipherUpdate(ctx, out + done, &written, in + done, len) != 1 || written != len)
            throw ECipherException();
    }
}

const uint8_t* Bytes(QByteArrayView data)
{
    return reinterpret_cast<const uint8_t*>(data.data());
}

uint8_t* Bytes(QByteArray& data)
{
    return reinterpret_cast<uint8_t*>(data.data());
}

// The part of the plain text that is read: at most 65,536 bytes, up to the first NUL.
QByteArrayView UsableText(QByteArrayView plain)
{
    QByteArrayView text = plain.first(std::min(plain.size(), kMaxPlainText));
    const qsizetype nul = text.indexOf('\0');
    return nul >= 0 ? text.first(nul) : text;
}

// Calls `row` for every CR LF-ended line; the text after the last CR LF is not a line.
template <typename Fn> void ForEachLine(QByteArrayView text, Fn&& row)
{
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(QByteArrayView("\r\n"), start);
        if (end < 0)
            return;
        row(text.sliced(start, end - start));
        start = end + 2;
    }
}

// Cuts a line into `N` trimmed fields. Each '#' ends the field in front of it; once no '#' is left the
// middle fields stay empty and the remainder lands in the last field.
template <std::size_t N> std::array<QByteArray, N> SplitFields(QByteArrayView line)
{
    std::array<QByteArray, N> fields;
    QByteArrayView rest = line;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        const qsizetype hash = rest.indexOf('#');
        if (hash < 0)
            continue;
        fields[i] = TrimText(rest.first(hash));
        rest = rest.sliced(hash + 1);
    }
    fields[N - 1] = TrimText(rest);
    return fields;
}

} // namespace

ECipherException::ECipherException()
    : std::runtime_error("Invalid file format")
{ }

QByteArray DecryptDefinitionFile(QByteArrayView file, const DefinitionKey& key)
{
    const qsizetype blocks = file.size() / kBlock;
    if (blocks < 2)
        throw ECipherException();

    // Decrypt every block after the IV in one pass of the block cipher, then undo the chaining: each plain
    // block is XORed with the cipher block in front of it (the IV for the first).
    const qsizetype cipherBytes = (blocks - 1) * kBlock;
    QByteArray plain(cipherBytes, Qt::Uninitialized);
    CipherContext ctx = MakeBlockCipher(key, false);
    RunBlocks(ctx.get(), Bytes(file) + kBlock, Bytes(plain), cipherBytes);
    const uint8_t* previous = Bytes(file);
    uint8_t* out = Bytes(plain);
    for (qsizetype i = 0; i < cipherBytes; ++i)
        out[i] ^= previous[i];

    const auto count = static_cast<uint8_t>(plain[cipherBytes - 1]);
    if (count > 15)
        throw ECipherException();
    plain.truncate(cipherBytes - kBlock + count);
    return plain;
}

QByteArray EncryptDefinitionFile(QByteArrayView plain, const DefinitionKey& key, uint16_t seed)
{
    if (seed == 0)
        seed = static_cast<uint16_t>(QDateTime::currentMSecsSinceEpoch() & 0xFFFF);

    const qsizetype full = plain.size() / kBlock;
    const auto rest = static_cast<uint8_t>(plain.size() % kBlock);
    QByteArray file((full + 2) * kBlock, '\0');
    uint8_t* out = Bytes(file);

    CipherContext ctx = MakeBlockCipher(key, true);
    uint8_t seedBlock[kBlock] = { static_cast<uint8_t>(seed >> 8), static_cast<uint8_t>(seed & 0xFF) };
    RunBlocks(ctx.get(), seedBlock, out, kBlock);

    // The plain blocks: the full ones, then the final one with the remainder, zero filler and the count.
    std::memcpy(out + kBlock, plain.data(), static_cast<std::size_t>(plain.size()));
    out[file.size() - 1] = rest;
    for (qsizetype b = 1; b < full + 2; ++b) {
        uint8_t* block = out + b * kBlock;
        for (qsizetype i = 0; i < kBlock; ++i)
            block[i] ^= block[i - kBlock];
        RunBlocks(ctx.get(), block, block, kBlock);
    }
    return file;
}

QList<TTLDData> ParseTldRows(QByteArrayView plain)
{
    QList<TTLDData> rows;
    ForEachLine(UsableText(plain), [&rows](QByteArrayView line) {
        auto fields = SplitFields<3>(line);
        rows.append(TTLDData { std::move(fields[0]), std::move(fields[1]), std::move(fields[2]) });
    });
    return rows;
}

QList<THostMark> ParseHostMarkRows(QByteArrayView plain)
{
    QList<THostMark> rows;
    ForEachLine(UsableText(plain), [&rows](QByteArrayView line) {
        auto fields = SplitFields<7>(line);
        THostMark row;
        row.Host = std::move(fields[0]);
        row.StartMark = std::move(fields[1]);
        row.EndMark = std::move(fields[2]);
        row.NoMatchMark = std::move(fields[3]);
        row.QueryPrefix = std::move(fields[4]);
        row.QuerySuffix = std::move(fields[5]);
        int32_t kind = 0;
        if (ToInt32(fields[6], kind) && kind >= 0 && kind <= 4)
            row.Kind = kind;
        rows.append(std::move(row));
    });
    return rows;
}

} // namespace vesk
