#include "defs/definition_tables.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

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
