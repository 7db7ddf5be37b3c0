#include "defs/definition_file.h"
#include "defs/definition_tables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <openssl/evp.h>

namespace vesk {
namespace {

const DefinitionKey kKey = UnscrambleKey();

// What a textbook AES-256-CBC encryption (library chaining, no padding) gives for `padded` under `iv`.
QByteArray ReferenceCbc(QByteArrayView iv, QByteArrayView padded, const DefinitionKey& key)
{
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    QByteArray out(padded.size(), '\0');
    int len = 0;
    EVP_EncryptInit_ex(ctx, EVP_aes_256_cbc(), nullptr, key.data(), reinterpret_cast<const uint8_t*>(iv.data()));
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    EVP_EncryptUpdate(ctx, reinterpret_cast<uint8_t*>(out.data()), &len,
                      reinterpret_cast<const uint8_t*>(padded.data()), static_cast<int>(padded.size()));
    EVP_CIPHER_CTX_free(ctx);
    return out;
}

QByteArray PlainOfLength(qsizetype n)
{
    QByteArray plain(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        plain[i] = static_cast<char>(i * 37 + 11);
    return plain;
}

void ExpectInvalid(QByteArrayView file, const DefinitionKey& key = kKey)
{
    try {
        DecryptDefinitionFile(file, key);
        ADD_FAILURE() << "no error for a file of " << file.size() << " bytes";
    } catch (const ECipherException& e) {
        EXPECT_STREQ(e.what(), "Invalid file format");
    }
}

TEST(DefinitionFileTest, RoundTripKeepsEveryLengthAndSizesTheFileByTheRule)
{
    for (qsizetype n : { 0, 1, 15, 16, 17, 31, 32, 33, 47, 48, 1000, 70000 }) {
        SCOPED_TRACE(n);
        const QByteArray plain = PlainOfLength(n);
        const QByteArray file = EncryptDefinitionFile(plain, kKey, 0x1234);
        EXPECT_EQ(file.size(), 16 * (n / 16 + 2));
        EXPECT_EQ(DecryptDefinitionFile(file, kKey), plain);
    }
}

TEST(DefinitionFileTest, ContainerIsStandardCbcWithCountInTheFinalBlock)
{
    const QByteArray plain("com#Commercial#whois.verisign-grs.com\r\n"); // 39 bytes: two full blocks + 7
    const QByteArray file = EncryptDefinitionFile(plain, kKey, 0xBEEF);

    // The IV is the seed block (high byte first, the rest zero) run through the cipher.
    QByteArray seedBlock(16, '\0');
    seedBlock[0] = '\xBE';
    seedBlock[1] = '\xEF';
    EXPECT_EQ(file.first(16), ReferenceCbc(QByteArray(16, '\0'), seedBlock, kKey));

    QByteArray padded = plain + QByteArray(9, '\0');
    padded[47] = 7;
    EXPECT_EQ(file.sliced(16), ReferenceCbc(file.first(16), padded, kKey));

    // Same seed, same file; another seed, another IV and other blocks.
    EXPECT_EQ(EncryptDefinitionFile(plain, kKey, 0xBEEF), file);
    EXPECT_NE(EncryptDefinitionFile(plain, kKey, 0xBEF0).first(16), file.first(16));
}

TEST(DefinitionFileTest, AnIVFromElsewhereIsAccepted)
{
    const QByteArray iv("0123456789abcdef");
    QByteArray padded = QByteArray("exactly 32 bytes of plain text!!") + QByteArray(16, '\0');
    const QByteArray file = iv + ReferenceCbc(iv, padded, kKey);
    ASSERT_EQ(file.size(), 64) << "32 bytes of text: IV, two full blocks, a final block with no data";
    EXPECT_EQ(DecryptDefinitionFile(file, kKey), QByteArray("exactly 32 bytes of plain text!!"));
}

TEST(DefinitionFileTest, ShortFilesAndBadCountsAreInvalid)
{
    ExpectInvalid({});
    ExpectInvalid(QByteArray(16, 'x'));
    ExpectInvalid(QByteArray(31, 'x'));

    const QByteArray iv(16, '\x5a');
    for (int count : { 16, 17, 128, 255 }) {
        SCOPED_TRACE(count);
        QByteArray block(16, '\0');
        block[15] = static_cast<char>(count);
        ExpectInvalid(iv + ReferenceCbc(iv, block, kKey));
    }
    QByteArray block(16, 'A');
    block[15] = 15;
    EXPECT_EQ(DecryptDefinitionFile(iv + ReferenceCbc(iv, block, kKey), kKey), QByteArray(15, 'A'));
}

TEST(DefinitionFileTest, BytesAfterTheLastWholeBlockAreIgnored)
{
    const QByteArray file = EncryptDefinitionFile("ab", kKey, 7);
    ASSERT_EQ(file.size(), 32);
    EXPECT_EQ(DecryptDefinitionFile(file + QByteArray(8, '\xff'), kKey), QByteArray("ab"));
}

TEST(DefinitionFileTest, AnotherKeyNeverGivesTheTextBack)
{
    DefinitionKey other = kKey;
    other[0] ^= 1;
    const QByteArray plain = PlainOfLength(100);
    const QByteArray file = EncryptDefinitionFile(plain, kKey, 99);
    try {
        EXPECT_NE(DecryptDefinitionFile(file, other), plain);
    } catch (const ECipherException&) {
        // A count above 15 in the garbled final block is reported; either way nothing readable comes back.
    }
}

TEST(ParseRowsTest, TldFieldsFollowTheHashRules)
{
    struct Row
    {
        const char* line;
        const char* tld;
        const char* description;
        const char* server;
    } rows[] = {
        { "com#Commercial#whois.verisign-grs.com", "com", "Commercial", "whois.verisign-grs.com" },
        { "com", "", "", "com" },
        { "com#Commercial", "com", "", "Commercial" },
        { "  de \t#  Germany  # whois.denic.de ", "de", "Germany", "whois.denic.de" },
        { "", "", "", "" },
        { "# a comment line", "", "", "a comment line" },
        { "a#b#c#d", "a", "b", "c#d" },
        { "x\ry\nz#d#s", "x\ry\nz", "d", "s" },
    };
    QByteArray text;
    for (const Row& row : rows)
        text += QByteArray(row.line) + "\r\n";
    const QList<TTLDData> parsed = ParseTldRows(text);
    ASSERT_EQ(parsed.size(), static_cast<qsizetype>(std::size(rows)));
    for (qsizetype i = 0; i < parsed.size(); ++i) {
        SCOPED_TRACE(rows[i].line);
        EXPECT_EQ(parsed[i].Tld, QByteArray(rows[i].tld));
        EXPECT_EQ(parsed[i].Description, QByteArray(rows[i].description));
        EXPECT_EQ(parsed[i].Server, QByteArray(rows[i].server));
    }
}

TEST(ParseRowsTest, ServerFieldsPutKindLastAndAcceptOnlyZeroToFour)
{
    const QList<THostMark> rows = ParseHostMarkRows("whois.x#Start#End#No match#domain#/e#2\r\n"
                                                    "a#b#c\r\n"
                                                    "h#####7\r\n"
                                                    "h#####-1\r\n"
                                                    "h#####x\r\n"
                                                    "h#####4\r\n"
                                                    "h##### 4 \r\n"
                                                    "h#######4\r\n"
                                                    "h#####99999999999\r\n");
    ASSERT_EQ(rows.size(), 9);
    EXPECT_EQ(rows[0].Host, QByteArray("whois.x"));
    EXPECT_EQ(rows[0].StartMark, QByteArray("Start"));
    EXPECT_EQ(rows[0].EndMark, QByteArray("End"));
    EXPECT_EQ(rows[0].NoMatchMark, QByteArray("No match"));
    EXPECT_EQ(rows[0].QueryPrefix, QByteArray("domain"));
    EXPECT_EQ(rows[0].QuerySuffix, QByteArray("/e"));
    EXPECT_EQ(rows[0].Kind, 2);

    EXPECT_EQ(rows[1].Host, QByteArray("a"));
    EXPECT_EQ(rows[1].StartMark, QByteArray("b"));
    EXPECT_TRUE(rows[1].EndMark.isEmpty() && rows[1].NoMatchMark.isEmpty() && rows[1].QueryPrefix.isEmpty()
                && rows[1].QuerySuffix.isEmpty());
    EXPECT_EQ(rows[1].Kind, 0);

    const int kinds[] = { 0, 0, 0, 4, 4, 0, 0 };
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(rows[i + 2].Kind, kinds[i]) << "row " << i + 2;
}

TEST(ParseRowsTest, OnlyCrLfEndsALineAndTheUnendedTailIsLost)
{
    EXPECT_TRUE(ParseTldRows("com#Commercial#whois.x").isEmpty());
    EXPECT_TRUE(ParseTldRows("com##a\nnet##b\n").isEmpty());
    EXPECT_EQ(ParseTldRows("com##a\nnet##b\r\n").value(0).Server, QByteArray("a\nnet##b")) << "a lone LF is text";
    EXPECT_TRUE(ParseTldRows("").isEmpty());
    EXPECT_EQ(ParseTldRows("\r\n").size(), 1);
    EXPECT_EQ(ParseTldRows("a##b\r\nlost##c").size(), 1);
    EXPECT_EQ(ParseTldRows("a##b\r\n\r\n\r\n").size(), 3);
    EXPECT_EQ(ParseTldRows("a##b\r\r\n")[0].Server, QByteArray("b")) << "a CR before CR LF is trimmed";
}

TEST(ParseRowsTest, TextEndsAtTheFirstNulAndAfter65536Bytes)
{
    EXPECT_EQ(ParseTldRows(QByteArrayView("a##b\r\nc##d\0\r\ne##f\r\n", 20)).size(), 1);

    // Rows that fill exactly 65,536 bytes are all read; a row that crosses the limit is not.
    const QByteArray line = QByteArray("xx#") + QByteArray(13, 'd') + "\r\n"; // 18 bytes
    QByteArray text;
    while (text.size() + line.size() <= 65536)
        text += line;
    const qsizetype fitting = text.size() / line.size();
    text += QByteArray(65536 - text.size() - 2, 'p') + "\r\n"; // ends exactly at the limit
    const qsizetype atLimit = fitting + 1;
    EXPECT_EQ(ParseTldRows(text).size(), atLimit);
    text.insert(0, 'q'); // now the last CR LF lies beyond the limit
    EXPECT_EQ(ParseTldRows(text).size(), atLimit - 1);
    text += QByteArray(100000, 'z') + "\r\n";
    EXPECT_EQ(ParseTldRows(text).size(), atLimit - 1);
}

class LoaderTest : public ::testing::Test
{
protected:
    void Write(const QByteArray& name, const QByteArray& bytes)
    {
        QFile file(QDir(dir.path()).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    void WriteGood()
    {
        Write(kTldFileName.Text(), EncryptDefinitionFile("com#Commercial#whois.verisign-grs.com\r\n", kKey, 1));
        Write(kHostMarkFileName.Text(),
              EncryptDefinitionFile("whois.verisign-grs.com##>>>#No match for#domain##2\r\n"
                                    "whois.ripe.net####%ERROR:101##1\r\n",
                                    kKey, 2));
    }
    QTemporaryDir dir;
    DefinitionTables defs;
};

TEST_F(LoaderTest, LoadsBothFilesFromTheGivenFolder)
{
    ASSERT_TRUE(dir.isValid());
    WriteGood();
    defs.LoadAll(dir.path());
    EXPECT_TRUE(defs.DefinitionsLoaded());
    EXPECT_EQ(defs.FindTld("COM").Server, QByteArray("whois.verisign-grs.com"));
    EXPECT_EQ(defs.FindHostMark("whois.ripe.net").Kind, 1);
    EXPECT_EQ(defs.FindHostMark("whois.verisign-grs.com").QueryPrefix, QByteArray("domain"));
}

TEST_F(LoaderTest, MissingFilesEmptyTheTablesWithoutAnError)
{
    defs.SetTldRows({ { "com", "", "" } });
    defs.SetHostMarks({ THostMark { "whois.x", 0, {}, {}, {}, {}, {} } });
    EXPECT_NO_THROW(defs.LoadAll(dir.path()));
    EXPECT_TRUE(defs.TldRows().isEmpty());
    EXPECT_TRUE(defs.HostMarks().isEmpty());
}

TEST_F(LoaderTest, DamagedTldFileEmptiesItsTableAndStopsThePass)
{
    WriteGood();
    defs.LoadAll(dir.path());
    Write(kTldFileName.Text(), QByteArray(20, 'x'));
    Write(kHostMarkFileName.Text(), EncryptDefinitionFile("whois.new####x##3\r\n", kKey, 3));
    try {
        defs.LoadAll(dir.path());
        FAIL() << "damaged file accepted";
    } catch (const ECipherException& e) {
        EXPECT_STREQ(e.what(), "Invalid file format");
    }
    EXPECT_TRUE(defs.TldRows().isEmpty());
    EXPECT_EQ(defs.HostMarks().size(), 2) << "the profile table keeps its rows: it was not reloaded";
    EXPECT_TRUE(defs.FindHostMark("whois.new").Host.isEmpty());

    Write(kHostMarkFileName.Text(), QByteArray());
    EXPECT_THROW(defs.LoadHostMarks(dir.path()), ECipherException);
    EXPECT_TRUE(defs.HostMarks().isEmpty());
}

TEST_F(LoaderTest, UnreadableFileIsAnErrorNamingTheFile)
{
    // A folder where the file should be: it exists but cannot be read as a file.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromLatin1(kTldFileName.Text())));
    defs.SetTldRows({ { "com", "", "" } });
    try {
        defs.LoadTldTable(dir.path());
        FAIL() << "unreadable file accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(kTldFileName.Text().toStdString()), std::string::npos) << e.what();
    }
    EXPECT_TRUE(defs.TldRows().isEmpty());
}

} // namespace
} // namespace vesk
