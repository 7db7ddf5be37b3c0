#include "lookup/classify.h"
#include "lookup/contact_handles.h"

#include <gtest/gtest.h>

namespace vesk::test {
namespace {

TEST(IsIPAddress, MoreThan255CharactersIsAnErrorWithAClearMessage)
{
    EXPECT_FALSE(IsIPAddress(QByteArray(255, 'a')));
    EXPECT_TRUE(IsIPAddress(QByteArray(244, ' ') + "192.168.0.1")) << "255 characters are still classified";
    try {
        IsIPAddress(QByteArray(256, 'a'));
        FAIL() << "no error for 256 characters";
    } catch (const QueryTooLongError& error) {
        EXPECT_STREQ(error.what(),
                     "The query is too long to search: it has 256 characters, and at most 255 are accepted.");
    }
}

TEST(SplitLabels, CountsFromTheRight)
{
    struct Row
    {
        const char* text;
        std::array<const char*, 4> labels;
    };
    const Row rows[] = {
        { "example.com", { "com", "example", "", "" } },
        { " www.example.co.uk ", { "uk", "co", "example", "www" } },
        { "a.b.c.example.com", { "com", "example", "c", "a.b" } },
        { "..example.com..", { "com", "example", "", "" } },
        { "localhost", { "localhost", "", "", "" } },
        { "", { "", "", "", "" } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const auto labels = SplitLabels(row.text);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(labels[i], QByteArray(row.labels[i])) << i;
    }
}

TEST(NormaliseDomainQuery, DropsAWwwLabelThirdOrFourthFromTheRight)
{
    const std::pair<const char*, const char*> rows[] = {
        { "www.example.com", "example.com" },       { "WWW.a.example.com", "a.example.com" },
        { "x.www.example.com", "example.com" },     { "www.www.example.com", "www.example.com" },
        { "mail.example.com", "mail.example.com" }, { "Example.COM", "Example.COM" },
        { "wwwx.example.com", "wwwx.example.com" }, { "p.q.www.example.com", "example.com" },
    };
    for (const auto& [query, normal] : rows) {
        SCOPED_TRACE(query);
        EXPECT_EQ(NormaliseDomainQuery(query), QByteArray(normal));
    }
}

TEST(FindContactHandles, RipeStyleHandlesNotHeldByTheRecord)
{
    const QByteArray record = "domain:      example.fr\r\n"
                              "holder-c:    GIH6-FRNIC\r\n"
                              "admin-c:     GIH5-FRNIC\n"
                              "tech-c:      gih5-frnic\n"
                              "zone-c:      NFC1-FRNIC\n"
                              "\n"
                              "nic-hdl:     GIH6-FRNIC\n"
                              "type:        ORGANIZATION\n";
    const QList<ContactHandle> found = FindContactHandles(record);
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].Handle, "GIH5-FRNIC");
    EXPECT_EQ(found[0].Labels, (QList<QByteArray> { "admin-c", "tech-c" }));
    EXPECT_EQ(found[1].Handle, "NFC1-FRNIC");
    EXPECT_EQ(found[1].Labels, (QList<QByteArray> { "zone-c" }));
}

TEST(FindContactHandles, LabelledIdsWithRealValuesOnly)
{
    const QByteArray record = "Registry Registrant ID: REDACTED FOR PRIVACY\n"
                              "Registry Admin ID: \n"
                              "Registrant ID: C-REDACTED\n"
                              "Admin ID: MMR-2383\n"
                              "Tech ID:MMR-2383\n"
                              "Billing ID: Not Available From Registry\n"
                              "   Registry Tech ID: T12_34.x\n"
                              "Registrar IANA ID: 292\n";
    const QList<ContactHandle> found = FindContactHandles(record);
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(found[0].Handle, "MMR-2383");
    EXPECT_EQ(found[0].Labels, (QList<QByteArray> { "Admin ID", "Tech ID" }));
    EXPECT_EQ(found[1].Handle, "T12_34.x");
}

TEST(FindContactHandles, NoneInARecordWithoutHandlesAndAtMostTheCap)
{
    EXPECT_TRUE(FindContactHandles("").isEmpty());
    EXPECT_TRUE(FindContactHandles("Domain Name: EXAMPLE.COM\r\nadmin-c\r\n: X1\r\n").isEmpty());

    QByteArray flood;
    for (int i = 0; i < 1000; ++i)
        flood += "admin-c: H" + QByteArray::number(i) + "\n";
    const QList<ContactHandle> found = FindContactHandles(flood);
    ASSERT_EQ(found.size(), kMaxContactHandles);
    EXPECT_EQ(found.last().Handle, "H9");
}

TEST(FindContactHandles, FloodKeepsTheFirstDistinctHandlesNotHeldByTheRecord)
{
    QByteArray flood;
    for (int i = 0; i < 200000; ++i)
        flood += "admin-c: H" + QByteArray::number(i) + "\n";
    flood += "tech-c: h3\nTECH-C: H3\n";
    for (int i = 0; i < 3; ++i)
        flood += "nic-hdl: h" + QByteArray::number(i) + "\n";

    const QList<ContactHandle> found = FindContactHandles(flood);
    ASSERT_EQ(found.size(), kMaxContactHandles);
    EXPECT_EQ(found.first().Handle, "H3");
    EXPECT_EQ(found.first().Labels, (QList<QByteArray> { "admin-c", "tech-c", "TECH-C" }));
    EXPECT_EQ(found.last().Handle, "H12");
}

} // namespace
} // namespace vesk::test
