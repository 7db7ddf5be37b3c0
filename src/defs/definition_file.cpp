#include "defs/definition_file.h"

#include "whois/host_text.h"

#include <QDateTime>
#include <algorithm>
#include <cstring>
#include <memory>
#include <openssl/core_dispatch.h>
#include <openssl/core_names.h>
#include <openssl/params.h>
#include <openssl/provider.h>

namespace vesk {

namespace {

constexpr qsizetype kBlock = 16;

// AES-256 in ECB without padding, the bare block cipher (the chaining is ours), taken from a library context of
// our own. The default context reads openssl.cnf on first use (start time, and a configuration could swap the
// provider behind the files); a fresh context reads nothing, and nothing here changes what TLS uses later. The
// cipher is run through its provider's own functions, asked of the provider directly: a fetch through EVP first
// builds a method for every algorithm the provider has, which costs more than the whole rest of a start, and
// EVP's own initialisation asks the engine table of the default context, which loads the configuration after all.
class BlockCipher
{
public:
    BlockCipher()
        : m_library(OSSL_LIB_CTX_new())
        , m_provider(m_library != nullptr ? OSSL_PROVIDER_load(m_library, "default") : nullptr)
    {
        if (m_provider == nullptr)
            return;
        int noCache = 0;
        m_algorithms = OSSL_PROVIDER_query_operation(m_provider, OSSL_OP_CIPHER, &noCache);
        for (const OSSL_ALGORITHM* algorithm = m_algorithms;
             algorithm != nullptr && algorithm->algorithm_names != nullptr; ++algorithm) {
            if (NamesCipher(algorithm->algorithm_names)) {
                Bind(algorithm->implementation);
                break;
            }
        }
    }
    ~BlockCipher()
    {
        if (m_algorithms != nullptr)
            OSSL_PROVIDER_unquery_operation(m_provider, OSSL_OP_CIPHER, m_algorithms);
        if (m_provider != nullptr)
            OSSL_PROVIDER_unload(m_provider);
        OSSL_LIB_CTX_free(m_library);
    }
    BlockCipher(const BlockCipher&) = delete;
    BlockCipher& operator=(const BlockCipher&) = delete;

    // One keyed run of the block cipher; its state is freed with it.
    class Run
    {
    public:
        Run(const BlockCipher& cipher, const DefinitionKey& key, bool encrypt)
            : m_cipher(cipher)
        {
            if (!cipher.Usable())
                throw ECipherException();
            m_state = cipher.m_newContext(OSSL_PROVIDER_get0_provider_ctx(cipher.m_provider));
            unsigned int padding = 0;
            const OSSL_PARAM params[]
                = { OSSL_PARAM_construct_uint(OSSL_CIPHER_PARAM_PADDING, &padding), OSSL_PARAM_construct_end() };
            const auto init = encrypt ? cipher.m_encryptInit : cipher.m_decryptInit;
            if (m_state == nullptr || init(m_state, key.data(), key.size(), nullptr, 0, params) != 1)
                throw ECipherException();
        }
        ~Run()
        {
            if (m_state != nullptr)
                m_cipher.m_freeContext(m_state);
        }
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

        // Runs whole blocks; `count` is a multiple of 16. The input may be the output.
        void Blocks(const uint8_t* in, uint8_t* out, qsizetype count)
        {
            std::size_t written = 0;
            const auto size = static_cast<std::size_t>(count);
            if (m_cipher.m_update(m_state, out, &written, size, in, size) != 1 || written != size)
                throw ECipherException();
        }

    private:
        const BlockCipher& m_cipher;
        void* m_state = nullptr;
    };

private:
    // The provider lists each algorithm under all its names, separated by colons.
    static bool NamesCipher(const char* names)
    {
        for (const QByteArray& name : QByteArray(names).split(':')) {
            if (name.compare("AES-256-ECB", Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
    void Bind(const OSSL_DISPATCH* function)
    {
        for (; function != nullptr && function->function_id != 0; ++function) {
            switch (function->function_id) {
            case OSSL_FUNC_CIPHER_NEWCTX:
                m_newContext = OSSL_FUNC_cipher_newctx(function);
                break;
            case OSSL_FUNC_CIPHER_FREECTX:
                m_freeContext = OSSL_FUNC_cipher_freectx(function);
                break;
            case OSSL_FUNC_CIPHER_ENCRYPT_INIT:
                m_encryptInit = OSSL_FUNC_cipher_encrypt_init(function);
                break;
            case OSSL_FUNC_CIPHER_DECRYPT_INIT:
                m_decryptInit = OSSL_FUNC_cipher_decrypt_init(function);
                break;
            case OSSL_FUNC_CIPHER_UPDATE:
                m_update = OSSL_FUNC_cipher_update(function);
                break;
            default:
                break;
            }
        }
    }
    bool Usable() const
    {
        return m_newContext != nullptr && m_freeContext != nullptr && m_encryptInit != nullptr
            && m_decryptInit != nullptr && m_update != nullptr;
    }

    OSSL_LIB_CTX* m_library;
    OSSL_PROVIDER* m_provider;
    const OSSL_ALGORITHM* m_algorithms = nullptr;
    OSSL_FUNC_cipher_newctx_fn* m_newContext = nullptr;
    OSSL_FUNC_cipher_freectx_fn* m_freeContext = nullptr;
    OSSL_FUNC_cipher_encrypt_init_fn* m_encryptInit = nullptr;
    OSSL_FUNC_cipher_decrypt_init_fn* m_decryptInit = nullptr;
    OSSL_FUNC_cipher_update_fn* m_update = nullptr;
};

// Made on the first use and kept: the provider's functions may serve any number of runs, on any thread.
const BlockCipher& TheBlockCipher()
{
    static const BlockCipher cipher;
    return cipher;
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

// Calls `row` for every CR LF-ended line; the text after the last CR LF is not a line, and a lone LF is part of
// its line. memchr, not QByteArrayView::indexOf: this runs over every row of every table at each start.
template <typename Fn> void ForEachLine(QByteArrayView text, Fn&& row)
{
    const char* data = text.data();
    const auto size = static_cast<std::size_t>(text.size());
    std::size_t start = 0;
    std::size_t from = 0;
    while (from < size) {
        const auto* feed = static_cast<const char*>(std::memchr(data + from, '\n', size - from));
        if (feed == nullptr)
            return;
        const auto end = static_cast<std::size_t>(feed - data);
        if (end > start && data[end - 1] == '\r') {
            row(text.sliced(static_cast<qsizetype>(start), static_cast<qsizetype>(end - 1 - start)));
            start = end + 1;
        }
        from = end + 1;
    }
}

// Cuts a line into `N` trimmed fields. Each '#' ends the field in front of it; once no '#' is left the
// middle fields stay empty and the remainder lands in the last field.
template <std::size_t N> std::array<QByteArray, N> SplitFields(QByteArrayView line)
{
    std::array<QByteArray, N> fields;
    QByteArrayView rest = line;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        const auto* hash = rest.isEmpty()
            ? nullptr
            : static_cast<const char*>(std::memchr(rest.data(), '#', static_cast<std::size_t>(rest.size())));
        if (hash == nullptr)
            continue;
        const qsizetype at = hash - rest.data();
        fields[i] = TrimText(rest.first(at));
        rest = rest.sliced(at + 1);
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
    BlockCipher::Run(TheBlockCipher(), key, false).Blocks(Bytes(file) + kBlock, Bytes(plain), cipherBytes);
    const uint8_t* previous = Bytes(file);
    uint8_t* out = Bytes(plain);
    // Eight bytes at a time (cipherBytes is a multiple of the block size): this runs over every definition file
    // at each start.
    for (qsizetype i = 0; i < cipherBytes; i += 8) {
        uint64_t a = 0;
        uint64_t b = 0;
        std::memcpy(&a, out + i, 8);
        std::memcpy(&b, previous + i, 8);
        a ^= b;
        std::memcpy(out + i, &a, 8);
    }

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

    BlockCipher::Run cipher(TheBlockCipher(), key, true);
    uint8_t seedBlock[kBlock] = { static_cast<uint8_t>(seed >> 8), static_cast<uint8_t>(seed & 0xFF) };
    cipher.Blocks(seedBlock, out, kBlock);

    // The plain blocks: the full ones, then the final one with the remainder, zero filler and the count.
    std::memcpy(out + kBlock, plain.data(), static_cast<std::size_t>(plain.size()));
    out[file.size() - 1] = rest;
    for (qsizetype b = 1; b < full + 2; ++b) {
        uint8_t* block = out + b * kBlock;
        for (qsizetype i = 0; i < kBlock; ++i)
            block[i] ^= block[i - kBlock];
        cipher.Blocks(block, block, kBlock);
    }
    return file;
}

QList<TTLDData> ParseTldRows(QByteArrayView plain)
{
    return TldRowIndex(plain.toByteArray()).Rows();
}

TldRowIndex::TldRowIndex(QByteArray plain)
    : m_text(std::move(plain))
{
    const QByteArrayView text = UsableText(m_text);
    ForEachLine(text, [this, &text](QByteArrayView line) {
        Line at { line.data() - text.data(), line.size(), 0, 0 };
        // The key is the first field, which exists only in front of a '#' (SplitFields).
        const auto* hash = line.isEmpty()
            ? nullptr
            : static_cast<const char*>(std::memchr(line.data(), '#', static_cast<std::size_t>(line.size())));
        if (hash != nullptr) {
            const QByteArrayView key = TrimmedView(line.first(hash - line.data()));
            at.KeyStart = key.data() - text.data();
            at.KeyLength = key.size();
        }
        m_lines.push_back(at);
    });
}

TTLDData TldRowIndex::Row(qsizetype i) const
{
    const Line& line = m_lines[static_cast<std::size_t>(i)];
    auto fields = SplitFields<3>(QByteArrayView(m_text).sliced(line.Start, line.Length));
    return TTLDData { std::move(fields[0]), std::move(fields[1]), std::move(fields[2]) };
}

TTLDData TldRowIndex::Find(QByteArrayView key) const
{
    const QByteArrayView text(m_text);
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (text.sliced(m_lines[i].KeyStart, m_lines[i].KeyLength) == key)
            return Row(static_cast<qsizetype>(i));
    }
    return {};
}

QList<TTLDData> TldRowIndex::Rows() const
{
    QList<TTLDData> rows;
    rows.reserve(Size());
    for (qsizetype i = 0; i < Size(); ++i)
        rows.append(Row(i));
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
