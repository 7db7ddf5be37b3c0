#include "rdap/domain_text.h"
#include "rdap/rdap_answer.h"
#include "support/test_data.h"

#include <gtest/gtest.h>

namespace vesk {
namespace {

RdapAnswer Fixture(const char* name)
{
    return ParseRdapAnswer(test::ReadTestData(QStringLiteral("rdap/") + QString::fromLatin1(name)));
}

TEST(RdapAnswerTest, KindsOfAnswer)
{
    EXPECT_EQ(Fixture("verisign-com-google.com.json").Kind, RdapAnswerKind::Domain);
    EXPECT_EQ(Fixture("rir-ripe-ip-130.59.31.80.json").Kind, RdapAnswerKind::IpNetwork);
    EXPECT_EQ(Fixture("rir-arin-autnum-16509-ABRIDGED.json").Kind, RdapAnswerKind::OtherObject);

    const RdapAnswer notFound = Fixture("error-404-centralnic-design.json");
    EXPECT_EQ(notFound.Kind, RdapAnswerKind::Error);
    EXPECT_EQ(notFound.ErrorCode, 404);
    EXPECT_EQ(notFound.ErrorTitle, QStringLiteral("Object not found"));
    EXPECT_EQ(notFound.ErrorDescription, QStringList { QStringLiteral("Object not found") });
    const RdapAnswer unsupported = Fixture("error-501-ripe.json");
    EXPECT_EQ(unsupported.Kind, RdapAnswerKind::Error);
    EXPECT_EQ(unsupported.ErrorCode, 501);
    EXPECT_EQ(ParseRdapAnswer(R"({"errorCode": "x", "title": 4, "description": "y"})").Kind, RdapAnswerKind::Error);

    const QByteArray invalid[] = {
        "",
        "not json",
        "[]",
        "\"domain\"",
        "{}",
        R"({"ldhName": "example.com"})",
        R"({"objectClassName": "domain")",
        QByteArray(100000, '['), // deeper than the JSON reader goes
        "{\"objectClassName\":\"domain\",\"x\":\"" + QByteArray(kMaxRdapAnswerBytes, 'a') + "\"}",
    };
    for (const QByteArray& body : invalid) {
        SCOPED_TRACE(body.left(30).toStdString());
        const RdapAnswer answer = ParseRdapAnswer(body);
        EXPECT_EQ(answer.Kind, RdapAnswerKind::Invalid);
        EXPECT_TRUE(RenderDomainRecord(answer, false).isEmpty());
    }
}

TEST(RdapAnswerTest, RegistrarLinkPicker)
{
    EXPECT_EQ(PickRegistrarLink(Fixture("verisign-com-google.com.json")),
              QUrl(QStringLiteral("https://rdap.markmonitor.com/rdap/domain/GOOGLE.COM")));
    // A registrar's own answer has only its "self" link; a network's related link is a web page.
    EXPECT_FALSE(PickRegistrarLink(Fixture("registrar-markmonitor-google.com.json")).isValid());
    EXPECT_FALSE(PickRegistrarLink(Fixture("rir-apnic-ip-1.1.1.0.json")).isValid());

    struct Row
    {
        const char* name;
        const char* links;
        const char* expected;
    } rows[] = {
        { "typed wins over an untyped domain link",
          R"([{"rel":"related","href":"https://u.example/domain/x"},
              {"rel":"Related","type":"application/rdap+json; charset=utf-8","href":"https://t.example/d/x"}])",
          "https://t.example/d/x" },
        { "untyped, the one whose path holds /domain/",
          R"([{"rel":"related","href":"https://a.example/help"},{"rel":"related","href":"https://b.example/rdap/domain/x"}])",
          "https://b.example/rdap/domain/x" },
        { "a typed web page is never followed, yet leaves the untyped link standing",
          R"([{"rel":"related","type":"text/html","href":"https://w.example/domain/x"},
              {"rel":"related","href":"https://u.example/domain/x"}])",
          "https://u.example/domain/x" },
        { "only a typed web page", R"([{"rel":"related","type":"text/html","href":"https://w.example/domain/x"}])",
          "" },
        { "other relations ignored",
          R"([{"rel":"self","type":"application/rdap+json","href":"https://s.example/domain/x"}])", "" },
        { "not an http address", R"([{"rel":"related","type":"application/rdap+json","href":"file:///domain/x"}])",
          "" },
        { "wrong types",
          R"([5, "x", {"rel":["related"],"href":7}, {"rel":"related","type":1,"href":"https://n.example/domain/y"}])",
          "https://n.example/domain/y" },
        { "links not an array", R"({"rel":"related"})", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const RdapAnswer answer
            = ParseRdapAnswer(QByteArray(R"({"objectClassName":"domain","links":)") + row.links + '}');
        ASSERT_EQ(answer.Kind, RdapAnswerKind::Domain);
        EXPECT_EQ(PickRegistrarLink(answer).toString(), QString::fromLatin1(row.expected));
    }
}

} // namespace
} // namespace vesk
