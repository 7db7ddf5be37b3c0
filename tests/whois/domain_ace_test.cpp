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
        { "valid A-labels keep the case they were typed in", "XN--FA-HIA.DE", "XN--FA-HIA.DE" },
        // Non-transitional: sharp s and final sigma are kept, never folded to "ss" or a plain sigma (another domain).
        { "sharp s kept", "faß.de", "xn--fa-hia.de" },
        { "final sigma kept", "βόλος.com", "xn--nxasmm1c.com" },
        { "ideographic full stop", "bücher\u3002de", "xn--bcher-kva.de" },
        { "full-width full stop", "bücher\uFF0Ede", "xn--bcher-kva.de" },
        { "halfwidth ideographic full stop", "bücher\uFF61de", "xn--bcher-kva.de" },
        { "right-to-left label ending in a digit", "א1.com", "xn--1-zhc.com" },
        { "zero-width non-joiner after a virama", "\u0915\u094D\u200C\u0937.com", "xn--11b2ezcs70k.com" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const AceDomain result = DomainToAce(row.query);
        EXPECT_TRUE(result.Ok);
        EXPECT_EQ(result.Ace, row.ace);
    }
}

// Each name names the rule it breaks, and has no ASCII form to send.
TEST(DomainToAceTest, NameWithoutAsciiFormSaysWhichRuleItBreaks)
{
    QByteArray longLabel;
    for (int i = 0; i < 60; ++i)
        longLabel += "ж"; // 60 letters: more than the 63 characters a label may have once encoded
    QByteArray longName = "ж";
    for (int i = 0; i < 26; ++i)
        longName += ".abcdefghi";
    const struct
    {
        QByteArray name;
        const char* rule;
    } rows[] = {
        { "пример..рф", "a label is empty" },
        { ".пример.рф", "a label is empty" },
        { longLabel + ".рф", "a label is longer than 63 characters" },
        { longName, "the name is longer than 253 characters" },
        { "\xFF\xFE.рф", "it holds a character that domain names do not allow" },
        { "bü_cher.de", "it holds a character that domain names do not allow" },
        { "-bücher.de", "a label begins with a hyphen" },
        { "bü--cher.de", "a label has hyphens in its third and fourth places" },
        { "a\u200Db.com", "a zero-width joiner or non-joiner stands where it is not allowed" },
        { "a\u200Cb.com", "a zero-width joiner or non-joiner stands where it is not allowed" },
        { "1א.com", "it breaks the rules for right-to-left labels" },
        // Typed A-labels are checked as well as converted ones.
        { "xn--a.com", "an xn-- label does not stand for a valid label" },
        { "xn--ab-.com", "an xn-- label does not stand for a valid label" },
        { "XN--FASS-HIA.DE", "an xn-- label does not stand for a valid label" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name.toStdString());
        const AceDomain result = DomainToAce(row.name);
        EXPECT_FALSE(result.Ok);
        EXPECT_TRUE(result.Ace.isEmpty());
        EXPECT_EQ(result.Error, row.rule);
    }
}

TEST(AsciiDotsTest, EastAsianFullStopsBecomeDotsAndNothingElseChanges)
{
    EXPECT_EQ(AsciiDots("bücher\u3002de"), "bücher.de");
    EXPECT_EQ(AsciiDots("例え\uFF0Eテスト\uFF61jp"), "例え.テスト.jp");
    EXPECT_EQ(AsciiDots("Example.COM"), "Example.COM");
    EXPECT_EQ(AsciiDots("\xFF\xFE.com"), "\xFF\xFE.com") << "bytes that are no text stay as typed";
}

} // namespace
} // namespace vesk
