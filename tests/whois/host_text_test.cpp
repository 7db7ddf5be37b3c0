#include "whois/host_text.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(HostTextTest, TrimRemovesEveryControlAndBlankAtBothEnds)
{
    EXPECT_EQ(TrimText(QByteArrayView("\t\r\n \x01 a b \x1f\x20", 11)), QByteArray("a b"));
    EXPECT_EQ(TrimText(" \t "), QByteArray());
    EXPECT_EQ(TrimText(""), QByteArray());
    // 0x7F and bytes with the top bit set are not blanks.
    EXPECT_EQ(TrimText("\x7f x \xa0"), QByteArray("\x7f x \xa0"));
    // An embedded NUL at the edge is a blank too.
    EXPECT_EQ(TrimText(QByteArrayView("\0ab\0", 4)), QByteArray("ab"));
}

TEST(HostTextTest, CaseMappingTouchesOnlyAsciiLetters)
{
    EXPECT_EQ(LowerAscii("AbZ@[`{09\xc4\xe4"), QByteArray("abz@[`{09\xc4\xe4"));
    EXPECT_EQ(UpperAscii("aBz@[`{09\xc4\xe4"), QByteArray("ABZ@[`{09\xc4\xe4"));
}

TEST(HostTextTest, LastDotPosCountsFromOneAndDoesNotTrim)
{
    EXPECT_EQ(LastDotPos("example.co.uk"), 11);
    EXPECT_EQ(LastDotPos("localhost"), 0);
    EXPECT_EQ(LastDotPos(""), 0);
    EXPECT_EQ(LastDotPos("."), 1);
    EXPECT_EQ(LastDotPos("a.b "), 2);
    EXPECT_EQ(LastDotPos("com."), 4);
}

TEST(HostTextTest, SplitHostNameCutsTheTrimmedTextAtItsLastDot)
{
    struct Row
    {
        const char* in;
        const char* name;
        const char* tld;
    } rows[] = {
        { " example.com ", "example", "com" },
        { "com", "", "" },
        { "example.com.", "example.com", "" },
        { "a.b.c", "a.b", "c" },
        { ".com", "", "com" },
        { "   ", "", "" },
        { "\twww.Example.CO.uk\r\n", "www.Example.CO", "uk" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        const HostNameParts parts = SplitHostName(row.in);
        EXPECT_EQ(parts.Name, QByteArray(row.name));
        EXPECT_EQ(parts.Tld, QByteArray(row.tld));
    }
}

TEST(HostTextTest, ToInt32AcceptsSignedDecimalsThatFit)
{
    struct Row
    {
        const char* in;
        bool ok;
        int32_t value;
    } rows[] = {
        { "0", true, 0 },
        { "4", true, 4 },
        { " 4 ", true, 4 },
        { "\t-17\r\n", true, -17 },
        { "+8", true, 8 },
        { "007", true, 7 },
        { "2147483647", true, 2147483647 },
        { "-2147483648", true, -2147483647 - 1 },
        { "00000000000000000002147483647", true, 2147483647 },
        { "2147483648", false, 0 },
        { "-2147483649", false, 0 },
        { "99999999999999999999999", false, 0 },
        { "", false, 0 },
        { "   ", false, 0 },
        { "-", false, 0 },
        { "+", false, 0 },
        { "x", false, 0 },
        { "4x", false, 0 },
        { "4 4", false, 0 },
        { "- 4", false, 0 },
        { "--4", false, 0 },
        { "0x10", false, 0 },
        { "1.5", false, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        int32_t value = 12345;
        EXPECT_EQ(ToInt32(row.in, value), row.ok);
        EXPECT_EQ(value, row.ok ? row.value : 12345) << "a failed conversion leaves the value alone";
    }
}

} // namespace
} // namespace vesk
