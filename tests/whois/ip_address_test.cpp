#include "whois/ip_address.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

constexpr int64_t kTop = 4294967295LL;

// One text read in each form: what the strict form refuses, what only the typed query allows, what only a
// reply value allows. -1: not an address in that form.
TEST(ParseIPv4Test, EachFormForgivesItsOwnSurroundings)
{
    constexpr int64_t kNone = -1;
    struct Row
    {
        const char* text;
        int64_t strict;
        int64_t typed;
        int64_t lenient;
    };
    const Row rows[] = {
        { "192.168.0.1", 3232235521LL, 3232235521LL, 3232235521LL },
        { "0.0.0.0", 0, 0, 0 },
        { "255.255.255.255", kTop, kTop, kTop },
        { "010.001.002.003", 167838211, 167838211, 167838211 },
        // Blanks: only the typed and the reply forms look past them.
        { "  192.168.0.1 ", kNone, 3232235521LL, 3232235521LL },
        { "10 .1.2.3", kNone, 167838211, 167838211 },
        { "1.2.3.4\t", kNone, kNone, 16909060 },
        // Long runs of leading zeros: the typed form allows them in the last number only.
        { "1.2.3.0000255", kNone, 16909311, 16909311 },
        { "0001.2.3.4", kNone, kNone, 16909060 },
        { "1.2.3.99999999999", kNone, kNone, kNone },
        // Anything around the address: only a reply value.
        { "host 10.1.2.3 (x)", kNone, kNone, 167838211 },
        { ".1.2.3.4.", kNone, kNone, 16909060 },
        { "-1.2.3.4", kNone, kNone, 16909060 },
        { "1.2.3.-4", kNone, kNone, 16909060 },
        // Not four numbers of 0 to 255 in any form.
        { "192.168.0.256", kNone, kNone, kNone },
        { "192.168.0", kNone, kNone, kNone },
        { "127.1", kNone, kNone, kNone },
        { "1.2.3.4.5", kNone, kNone, kNone },
        { "1..2.3", kNone, kNone, kNone },
        { "1.2.3.", kNone, kNone, kNone },
        { "1.2.3.a", kNone, kNone, kNone },
        { "", kNone, kNone, kNone },
        { "example.com", kNone, kNone, kNone },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseIPv4(row.text, IPv4Form::Strict), row.strict);
        EXPECT_EQ(ParseIPv4(row.text, IPv4Form::Typed), row.typed);
        EXPECT_EQ(ParseIPv4(row.text, IPv4Form::Lenient), row.lenient);
    }
}

TEST(Ipv4AddressTest, CleanAddressKeepsDigitsAndDotsAndDropsOneDotAtEachEnd)
{
    struct Row
    {
        const char* in;
        const char* out;
    } rows[] = {
        { " 10.0.0.1 ", "10.0.0.1" },
        { ".10.0.0.1.", "10.0.0.1" },
        { "..1.2", ".1.2" },
        { "1.2..", "1.2." },
        { "letters", "" },
        { ".", "" },
        { "..", "" },
        { "", "" },
        { "host 10.1.2.3 (x)", "10.1.2.3" },
        { "1a0.0.0.1", "10.0.0.1" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.in);
        EXPECT_EQ(CleanAddress(row.in), QByteArray(row.out));
    }
}

TEST(Ipv4AddressTest, DigitsOnlyKeepsDigitsInOrder)
{
    EXPECT_EQ(DigitsOnly("/24"), QByteArray("24"));
    EXPECT_EQ(DigitsOnly("no digits"), QByteArray());
    EXPECT_EQ(DigitsOnly("a1-2 3\xb9"), QByteArray("123"));
}

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

// Every text form of RFC 4291 in, the canonical text of RFC 5952 out; "" where the text is no IPv6 address.
TEST(ParseIPv6Test, EveryFormGivesOneCanonicalText)
{
    struct Row
    {
        const char* in;
        const char* canonical;
    } rows[] = {
        { "2001:0db8:0000:0000:0000:0000:0000:0001", "2001:db8::1" },
        { "2001:DB8::1", "2001:db8::1" },
        { "2001:db8:0:0:1:0:0:1", "2001:db8::1:0:0:1" }, // of two equal runs the first is compressed
        { "2001:0:0:1:0:0:0:1", "2001:0:0:1::1" }, // the longest run wins
        { "2001:db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1" }, // one zero group stays
        { "2001:db8::0:1", "2001:db8::1" },
        { "::", "::" },
        { "::1", "::1" },
        { "1::", "1::" },
        { "0:0:0:0:0:0:0:0", "::" },
        { "::ffff:192.0.2.1", "::ffff:192.0.2.1" },
        { "::FFFF:C000:0201", "::ffff:192.0.2.1" }, // mapped addresses keep their dotted tail
        { "64:ff9b::192.0.2.33", "64:ff9b::c000:221" },
        { "1:2:3:4:5:6:192.0.2.1", "1:2:3:4:5:6:c000:201" },
        { "2001:4860:4860::8888", "2001:4860:4860::8888" },
        { "1:2:3:4:5:6:7::", "1:2:3:4:5:6:7:0" }, // "::" for one group
        // Not addresses.
        { "", "" },
        { ":", "" },
        { ":::", "" },
        { "1:2:3:4:5:6:7:8:9", "" },
        { "1:2:3:4:5:6:7", "" },
        { "1::2::3", "" },
        { ":1::2", "" },
        { "1::2:", "" },
        { "12345::1", "" },
        { "g::1", "" },
        { "2001:db8::1%eth0", "" },
        { "[2001:db8::1]", "" },
        { " 2001:db8::1", "" },
        { "::1.2.3", "" },
        { "::1.2.3.4:5", "" }, // a dotted part only at the end
        { "1.2.3.4::", "" },
        { "::256.1.1.1", "" },
        { "1:2:3:4:5:6:7:1.2.3.4", "" }, // nine groups
        { "192.0.2.1", "" },
        { "example.com", "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.in);
        const std::optional<IPv6Bytes> parsed = ParseIPv6(row.in);
        EXPECT_EQ(parsed ? IPv6Text(*parsed) : QByteArray(), QByteArray(row.canonical));
        if (parsed) { // the canonical text reads back as the same address
            EXPECT_EQ(ParseIPv6(IPv6Text(*parsed)), parsed);
        }
    }
    EXPECT_FALSE(ParseIPv6(QByteArray(100000, ':')));
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

// An IPv6 block from a reply ("CIDR:" of ARIN, an RDAP rendering) covers the addresses of its prefix, and only
// IPv6 addresses: the IPv4 tail of a mapped address is not an IPv4 address of the set.
TEST(NetworkRangeTest, IPv6BlocksCoverTheirPrefixAndKeepToTheirFamily)
{
    TNetworkRange set;
    EXPECT_EQ(set.AddCidr("2A00::/12"), 1);
    EXPECT_EQ(set.AddCidr("2001:4860:4860::8888/32,"), 2) << "the address's own bits past the prefix do not count";
    EXPECT_EQ(set.AddCidr("2001:db8::7/129"), 3) << "an unusable prefix is the address alone";
    EXPECT_EQ(set.AddCidr("2001:db8::g/32"), 0);
    EXPECT_EQ(set.AddCidr("::/"), 4);
    EXPECT_EQ(set.AddCidr("192.0.2.0/24"), 1) << "the IPv4 ranges are counted apart";

    const struct
    {
        const char* address;
        bool contained;
    } rows[] = {
        { "2a00::", true },
        { "2a0f:ffff:ffff:ffff:ffff:ffff:ffff:ffff", true },
        { "2a10::", false },
        { "29ff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", false },
        { "2001:4860::", true },
        { "2001:4860:ffff::1", true },
        { "2001:4861::", false },
        { "2001:db8::7", true },
        { "2001:db8::8", false },
        { "::", true },
        { "::1", false },
        { "192.0.2.9", true },
        { "::ffff:192.0.2.9", false },
        { "2001:4860::zz", false },
        { "", false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.address);
        EXPECT_EQ(set.Contains(row.address), row.contained);
    }
}

TEST(Ipv4AddressTest, AddressTextWritesTheFirstOctetFirst)
{
    EXPECT_EQ(AddressText(0), QByteArray("0.0.0.0"));
    EXPECT_EQ(AddressText(0xFFFFFFFFu), QByteArray("255.255.255.255"));
    EXPECT_EQ(AddressText(0x0A010203u), QByteArray("10.1.2.3"));
    EXPECT_EQ(ParseIPv4(AddressText(3232235777u)), 3232235777LL);
}

} // namespace
} // namespace vesk
