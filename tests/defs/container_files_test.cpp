#include "defs/definition_file.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

const DefinitionKey kKey = UnscrambleKey();

TEST(ContainerFilesTest, GoodFilesGiveTheirRows)
{
    const QList<TTLDData> tlds
        = ParseTldRows(DecryptDefinitionFile(test::ReadTestData(QStringLiteral("defs/good-tld.bin")), kKey));
    ASSERT_EQ(tlds.size(), 4);
    EXPECT_EQ(tlds[0].Tld, QByteArray("com"));
    EXPECT_EQ(tlds[3].Server, QByteArray("whois.denic.de"));

    const QList<THostMark> marks
        = ParseHostMarkRows(DecryptDefinitionFile(test::ReadTestData(QStringLiteral("defs/good-servers.bin")), kKey));
    ASSERT_EQ(marks.size(), 2);
    EXPECT_EQ(marks[1].NoMatchMark, QByteArray("%ERROR:101: no entries found"));
    EXPECT_EQ(marks[1].Kind, 1);

    // Bytes after the last whole block are ignored.
    EXPECT_EQ(
        ParseTldRows(DecryptDefinitionFile(test::ReadTestData(QStringLiteral("defs/trailing-bytes.bin")), kKey)).size(),
        4);
}

TEST(ContainerFilesTest, BrokenFilesAreRefusedByName)
{
    for (const char* name : { "truncated-header.bin", "iv-only.bin", "no-final-block.bin", "bad-count.bin" }) {
        SCOPED_TRACE(name);
        const QByteArray file = test::ReadTestData(QStringLiteral("defs/") + QString::fromLatin1(name));
        ASSERT_FALSE(file.isEmpty());
        try {
            DecryptDefinitionFile(file, kKey);
            ADD_FAILURE() << "accepted";
        } catch (const ECipherException& e) {
            EXPECT_STREQ(e.what(), "Invalid file format");
        }
    }
}

// Whatever is cut off or garbled, the result is rows or the one format error: never a crash or an overread
// (run under ASan, every truncation gets a buffer of its own size).
TEST(ContainerFilesTest, EveryTruncationAndEveryGarbledByteGivesRowsOrTheFormatError)
{
    const QByteArray good = test::ReadTestData(QStringLiteral("defs/good-tld.bin"));
    ASSERT_EQ(good.size(), 208);
    int refused = 0;
    auto attempt = [&](const QByteArray& file) {
        try {
            const QList<TTLDData> rows = ParseTldRows(DecryptDefinitionFile(file, kKey));
            EXPECT_LE(rows.size(), 5);
        } catch (const ECipherException& e) {
            EXPECT_STREQ(e.what(), "Invalid file format");
            ++refused;
        }
    };
    for (qsizetype n = 0; n <= good.size(); ++n) {
        SCOPED_TRACE(n);
        attempt(good.first(n));
    }
    EXPECT_GE(refused, 32) << "every file shorter than two blocks is refused";

    for (qsizetype i = 0; i < good.size(); ++i) {
        QByteArray garbled = good;
        garbled[i] = static_cast<char>(garbled[i] ^ 0x5A);
        attempt(garbled);
    }
}

} // namespace
} // namespace vesk
