#include "whois/domain_ace.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

TEST(DomainToAceTest, ConvertsNonAsciiNamesAndKeepsAsciiOnes)
{
    struct Row
    {
        const char* name;
        QByteArray query;
        QByteArray ace;
    } rows[] = {
        { "Cyrillic name and TLD", "пример.рф", "xn--e1afmkfd.xn--p1ai" },
        { "upper case maps to the same A-labels", "ПРИМЕР.РФ", "xn--e1afmkfd.xn--p1ai" },
        { "only the TLD is non-ASCII", "example.рф", "example.xn--p1ai" },
        // Plain names go on the wire exactly as typed, whatever their case.
        { "ASCII unchanged", "Example.COM", "Example.COM" },
        { "A-labels unchanged", "xn--e1afmkfd.xn--p1ai", "xn--e1afmkfd.xn--p1ai" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const AceDomain result = DomainToAce(row.query);
        EXPECT_TRUE(result.Ok);
        EXPECT_EQ(result.Ace, row.ace);
    }
}

TEST(DomainToAceTest, NameWithoutAsciiFormFails)
{
    QByteArray longLabel;
    for (int i = 0; i < 60; ++i)
        longLabel += "ж"; // 60 letters: more than the 63 characters a label may have once encoded
    const QByteArray rows[] = { "пример..рф", ".пример.рф", "\xFF\xFE.рф", longLabel + ".рф" };
    for (const QByteArray& query : rows) {
        SCOPED_TRACE(query.toStdString());
        const AceDomain result = DomainToAce(query);
        EXPECT_FALSE(result.Ok);
        EXPECT_TRUE(result.Ace.isEmpty());
    }
}

} // namespace
} // namespace vesk
