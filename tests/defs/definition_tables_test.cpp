#include "defs/definition_tables.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

constexpr int64_t kTop = 4294967295LL;

TEST(ParseIPv4Test, ConvertsDottedAddressesAndRejectsTheRest)
{
    struct Row
    {
        const char* in;
        int64_t value;
    } rows[] = {
        { "192.168.1.1", 3232235777LL },
        { "0.0.0.0", 0 },
        { "255.255.255.255", kTop },
        { ".1.2.3.4.", 16909060 },
        { "010.001.002.003", 167838211 },
        { "1.2.3.0000255", 16909311 },
        { "host 10.1.2.3 (x)", 167838211 },
        { "1a0.0.0.1", 167772161 },
        { "256.1.1.1", -1 },
        { "1.2.3.256", -1 },
        { "1.2.3", -1 },
        { "1.2.3.4.5", -1 },
        { "1..2.3", -1 },
        { "..1.2.3.4", -1 },
        { "letters", -1 },
        { "", -1 },
        { ".", -1 },
        { "1.2.3.", -1 },
        { "99999999999.1.1.1", -1 },
        { "1.1.1.99999999999", -1 },
        // A minus sign is not a digit: it is cleaned away before conversion.
        { "-1.2.3.4", 16909060 },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(ParseIPv4(row.in), row.value);
    }
}

TEST(ParseCidrTest, GivesInclusiveRangesWithPrefix32AsFallback)
{
    struct Row
    {
        const char* in;
        int64_t first;
        int64_t last;
    } rows[] = {
        { "10.0.0.0/8", 167772160, 184549375 },
        { "10.0.0.0", 167772160, 167772160 },
        { "10.0.0.0/33", 167772160, 167772160 },
        { "10.0.0.0/x", 167772160, 167772160 },
        { "10.0.0.0/", 167772160, 167772160 },
        { "0.0.0.0/0", 0, kTop },
        { "255.255.255.255/32", kTop, kTop },
        { "10.1.2.3/24", 167838211, 167838466 }, // not aligned to the prefix
        { "10.0.0.0/ 16 ", 167772160, 167837695 },
        { "10.0.0.0/-8", 167772160, 167772160 + 16777215 }, // the sign is cleaned away: /8
        { "10.0.0.0/99999999999", 167772160, 167772160 },
        { "bad/32", -1, -1 },
        { "1.2.3.4/8/9", 16909060, 16909060 }, // prefix digits "89" are out of range
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.in);
        const TIPRange range = ParseCidr(row.in);
        EXPECT_EQ(range.First, row.first);
        EXPECT_EQ(range.Last, row.last);
    }
}

TEST(NetworkRangeTest, AddCidrSkipsRangesThatEndAtZeroOrBelow)
{
    TNetworkRange set;
    EXPECT_EQ(set.AddCidr("0.0.0.0"), 0);
    EXPECT_EQ(set.AddCidr("garbage"), 0);
    EXPECT_EQ(set.AddCidr("garbage/0"), 0) << "an unparsable block must not cover the address space";
    EXPECT_EQ(set.AddCidr("x/8"), 0);
    EXPECT_TRUE(set.Ranges().isEmpty());
    EXPECT_FALSE(set.Contains("192.0.2.1"));
    EXPECT_EQ(set.AddCidr("0.0.0.0/8"), 1);
    EXPECT_EQ(set.AddCidr("10.0.0.0/8"), 2);
    EXPECT_EQ(set.AddCidr("10.0.0.0/8"), 3) << "duplicates stay side by side";
    EXPECT_EQ(set.Add({ 5, 4 }), 4);
    ASSERT_EQ(set.Ranges().size(), 4);
    EXPECT_EQ(set.Ranges()[1].First, 167772160);
}

TEST(NetworkRangeTest, ContainsChecksEveryRangeInclusively)
{
    TNetworkRange set;
    EXPECT_FALSE(set.Contains("10.0.0.1"));
    set.AddCidr("192.168.0.0/24");
    set.AddCidr("10.0.0.0/8");
    EXPECT_TRUE(set.Contains("10.0.0.0"));
    EXPECT_TRUE(set.Contains("10.255.255.255"));
    EXPECT_TRUE(set.Contains("192.168.0.77"));
    EXPECT_FALSE(set.Contains("11.0.0.0"));
    EXPECT_FALSE(set.Contains("9.255.255.255"));
    EXPECT_FALSE(set.Contains("192.168.1.0"));

    // A range that starts below zero (a bad address with a short prefix) never makes a non-address contained.
    set.Add({ -1, 100 });
    EXPECT_FALSE(set.Contains("not an address"));
    EXPECT_TRUE(set.Contains("0.0.0.5"));
}

class DefinitionsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        defs.SetTldRows({
            { "com", "Commercial", "whois.verisign-grs.com" },
            { "Net", "never found: not lower case", "x" },
            { "c", "one letter", "whois.c" },
            { "org", "first org", "whois.pir.org" },
            { "org", "second org", "whois.other" },
            { "de", "Germany", "whois.denic.de" },
            { "", "", "" },
        });
        THostMark abcd;
        abcd.Host = "ab.cd";
        abcd.NoMatchMark = "not found";
        THostMark abc;
        abc.Host = "a.b";
        abc.NoMatchMark = "nothing";
        THostMark silent;
        silent.Host = "whois.silent";
        THostMark first;
        first.Host = "whois.dup";
        first.Kind = 1;
        THostMark second = first;
        second.Kind = 2;
        defs.SetHostMarks({ abcd, abc, silent, first, second });
    }
    DefinitionTables defs;
};

TEST_F(DefinitionsTest, FindTldNeedsTwoCharactersAndFindsTheFirstLowerCaseRow)
{
    EXPECT_EQ(defs.FindTld("COM").Server, QByteArray("whois.verisign-grs.com"));
    EXPECT_EQ(defs.FindTld("  de\t").Description, QByteArray("Germany"));
    EXPECT_EQ(defs.FindTld("org").Description, QByteArray("first org"));
    EXPECT_TRUE(defs.FindTld("net").Tld.isEmpty());
    EXPECT_TRUE(defs.FindTld("Net").Tld.isEmpty()) << "the key is lower-cased, the row is not";
    // Length is judged before trimming: " C " is three characters and looks up "c".
    EXPECT_EQ(defs.FindTld(" C ").Server, QByteArray("whois.c"));
    EXPECT_TRUE(defs.FindTld("c").Tld.isEmpty());
    EXPECT_TRUE(defs.FindTld(" ").Tld.isEmpty());
    EXPECT_TRUE(defs.FindTld("").Tld.isEmpty());
    EXPECT_TRUE(defs.FindTld("  ").Server.isEmpty()) << "a blank key must not find the blank row";
    EXPECT_TRUE(defs.FindTld("xyz").Tld.isEmpty());
}

TEST_F(DefinitionsTest, FindHostMarkNeedsFourCharactersAfterTrimming)
{
    EXPECT_TRUE(defs.FindHostMark("a.b").Host.isEmpty());
    EXPECT_TRUE(defs.FindHostMark("  a.b  ").Host.isEmpty());
    EXPECT_EQ(defs.FindHostMark("AB.CD").NoMatchMark, QByteArray("not found"));
    EXPECT_EQ(defs.FindHostMark(" whois.dup ").Kind, 1);
    EXPECT_TRUE(defs.FindHostMark("whois.unknown").Host.isEmpty());
    EXPECT_EQ(defs.FindHostMark("whois.unknown").Kind, 0);
}

TEST_F(DefinitionsTest, DomainFoundIsFalseOnlyWhenTheProfilesMarkOccurs)
{
    EXPECT_FALSE(defs.DomainFound("ab.cd", "Domain not found here"));
    EXPECT_FALSE(defs.DomainFound("AB.cd", "not found"));
    EXPECT_TRUE(defs.DomainFound("ab.cd", "Domain: ab.cd\r\nNot Found\r\n")) << "case-sensitive";
    EXPECT_TRUE(defs.DomainFound(" ab.cd", "not found")) << "the host is not trimmed";
    EXPECT_TRUE(defs.DomainFound("whois.silent", "anything")) << "empty mark never occurs";
    EXPECT_TRUE(defs.DomainFound("whois.silent", ""));
    EXPECT_TRUE(defs.DomainFound("whois.none", "not found")) << "no profile";
    // Unlike FindHostMark, DomainFound has no minimum key length.
    EXPECT_FALSE(defs.DomainFound("a.b", "nothing"));
}

TEST_F(DefinitionsTest, LoadedAndRegistryQuestions)
{
    EXPECT_TRUE(defs.DefinitionsLoaded());
    DefinitionTables half;
    half.SetTldRows({ { "com", "", "" } });
    EXPECT_FALSE(half.DefinitionsLoaded());
    EXPECT_FALSE(DefinitionTables().DefinitionsLoaded());

    EXPECT_TRUE(DefinitionTables::IsRegistryServer("whois.verisign-grs.com"));
    EXPECT_TRUE(DefinitionTables::IsRegistryServer(" WHOIS.CRSNIC.NET\r\n"));
    EXPECT_FALSE(DefinitionTables::IsRegistryServer("whois.verisign-grs.com.evil"));
    EXPECT_FALSE(DefinitionTables::IsRegistryServer(""));
}

TEST_F(DefinitionsTest, HasKnownTldLooksUpTheLabelAfterTheLastDot)
{
    struct Row
    {
        const char* in;
        bool known;
    } rows[] = {
        { "example.com", true }, { " Example.COM ", true }, { "a.b.de", true },   { ".com", true },
        { "com", false },        { "example.com.", false }, { "1.2.3.c", false }, { "example.net", false },
        { "", false },           { "example.", false },     { "a. ", false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(defs.HasKnownTld(row.in), row.known);
    }
    EXPECT_FALSE(DefinitionTables().HasKnownTld("example.com"));
}

} // namespace
} // namespace vesk
