#include "rdap/json_path.h"
#include "rdap/redaction.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace vesk {
namespace {

const char* const kRecord = R"({
  "handle": "D1",
  "entities": [
    {"roles": ["registrar"], "handle": "292"},
    {"roles": ["registrant"], "handle": "R1", "vcardArray": ["vcard", [
      ["version", {}, "text", "4.0"],
      ["fn", {}, "text", ""],
      ["adr", {}, "text", ["", "", ["1 Main St", "Floor 2"], "Town", "QC", "H0H", "CA"]],
      ["tel", {"type": ["work", "voice"]}, "uri", "tel:+1.5"],
      ["tel", {"type": "fax"}, "uri", "tel:+1.6"],
      ["contact-uri", {}, "uri", "https://form.example/"]]]},
    {"roles": ["technical", "administrative"], "vcardArray": ["vcard", [["fn", {}, "text", "T"]]],
     "entities": [{"roles": ["abuse"], "vcardArray": ["vcard", [["email", {}, "text", "a@b"]]]}]}
  ],
  "events": [{"eventAction": "registration", "eventDate": "2001"}, {"eventAction": "expiration", "eventDate": "2030"}]
})";

QJsonObject Record()
{
    return QJsonDocument::fromJson(kRecord).object();
}

QString Values(const QList<JsonPathMatch>& matches)
{
    QStringList texts;
    for (const JsonPathMatch& match : matches) {
        QString location;
        for (const JsonPathKey& key : match.Location)
            location += key.Index >= 0 ? QStringLiteral("[%1]").arg(key.Index) : u'.' + key.Member;
        const QJsonValue value = match.Value;
        texts.append(location + u'='
                     + (value.isString()
                            ? value.toString()
                            : QString::fromUtf8(QJsonDocument(QJsonArray { value }).toJson(QJsonDocument::Compact))
                                  .mid(1)
                                  .chopped(1)));
    }
    return texts.join(u' ');
}

TEST(JsonPathTest, EvaluatesTheFormsServersWrite)
{
    struct Row
    {
        const char* path;
        const char* values;
    };
    const Row rows[] = {
        { "$", "" }, // the root itself; checked by location below
        { "$.handle", ".handle=D1" },
        { "$['handle']", ".handle=D1" },
        { "$.entities[1].handle", ".entities[1].handle=R1" },
        { "$.entities[-1].vcardArray[1][0][3]", ".entities[2].vcardArray[1][0][3]=T" },
        { "$.entities[?(@.roles[0]=='registrant')].handle", ".entities[1].handle=R1" },
        { "$.entities[?(@.roles[0]==\"technical\")].vcardArray[1][0][3]", ".entities[2].vcardArray[1][0][3]=T" },
        // A missing member fails the filter whatever the comparison.
        { "$.entities[?@.handle != 'R1'].roles[0]", ".entities[0].roles[0]=registrar" },
        // A relative path ending on an array matches when an element equals the literal.
        { "$.entities[1].vcardArray[1][?(@[1].type=='voice')][3]", ".entities[1].vcardArray[1][3][3]=tel:+1.5" },
        { "$.entities[1].vcardArray[1][?(@[0]=='adr')][3][:3]",
          ".entities[1].vcardArray[1][2][3][0]= .entities[1].vcardArray[1][2][3][1]= "
          ".entities[1].vcardArray[1][2][3][2]=[\"1 Main St\",\"Floor 2\"]" },
        { "$.entities[1].vcardArray[1][2][3][5:]",
          ".entities[1].vcardArray[1][2][3][5]=H0H "
          ".entities[1].vcardArray[1][2][3][6]=CA" },
        { "$.entities[*].entities[0].roles.*", ".entities[2].entities[0].roles[0]=abuse" },
        { "$.events[?(@.eventAction=='expiration')].eventDate", ".events[1].eventDate=2030" },
        // Nothing selected: missing members, indexes past the end, type mismatches.
        { "$.port43", "" },
        { "$.entities[7]", "" },
        { "$.handle[0]", "" },
        { "$.entities[?(@.roles[0]==1)]", "" },
        { "$.entities[?(@.missing=='x')]", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        const std::optional<JsonPath> path = ParseJsonPath(QString::fromUtf8(row.path));
        ASSERT_TRUE(path.has_value());
        const QList<JsonPathMatch> matches = EvaluateJsonPath(Record(), *path);
        if (path->isEmpty()) {
            EXPECT_EQ(matches.size(), 1);
        } else {
            EXPECT_EQ(Values(matches), QString::fromUtf8(row.values));
        }
    }
    // Only the first steps.
    const std::optional<JsonPath> removed
        = ParseJsonPath(u"$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='email')]");
    ASSERT_TRUE(removed.has_value());
    EXPECT_TRUE(EvaluateJsonPath(Record(), *removed).isEmpty());
    EXPECT_EQ(EvaluateJsonPath(Record(), *removed, 2).front().Location,
              (QList<JsonPathKey> { { QStringLiteral("entities"), -1 }, { QString(), 1 } }));
}

TEST(JsonPathTest, RefusesWhatItCannotEvaluate)
{
    for (const char* text :
         { "", "handle", "$..handle", "$.", "$[", "$[1", "$['x]", "$[?(@.a=='x']", "$[?(@.a)]", "$[?(@.a < 3)]",
           "$[?(@.a[?(@.b=='c')]=='x')]", "$.a b", "$[1:2:3]", "$[9999999999]", "$[?(@.a=='x' && @.b=='y')]" }) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(ParseJsonPath(QString::fromUtf8(text)).has_value());
    }
    EXPECT_FALSE(ParseJsonPath(QString(2000, u'.')).has_value());
}

TEST(JsonPathTest, MatchesStayBounded)
{
    QJsonArray wide;
    for (int i = 0; i < 3000; ++i)
        wide.append(QJsonArray { i, i });
    QJsonObject root;
    root.insert(u"a", wide);
    EXPECT_EQ(EvaluateJsonPath(root, *ParseJsonPath(u"$.a[*][*]")).size(), kMaxJsonPathMatches);

    // A filter over more values than one evaluation visits stops searching: the last element is never reached.
    QJsonArray numbers;
    for (qsizetype i = 0; i < kMaxJsonPathVisits * 2; ++i)
        numbers.append(QJsonArray { static_cast<double>(i) });
    root.insert(u"n", numbers);
    EXPECT_EQ(EvaluateJsonPath(root, *ParseJsonPath(u"$.n[?(@[0]==10)]")).size(), 1);
    EXPECT_TRUE(EvaluateJsonPath(root, *ParseJsonPath(u"$.n[?(@[0]==39999)]")).isEmpty());
}

TEST(JsonPathTest, LongestPrefixStopsWhereTheAnswerEnds)
{
    const std::optional<JsonPath> path
        = ParseJsonPath(u"$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='email')]");
    ASSERT_TRUE(path.has_value());
    const JsonPathPrefix prefix = LongestJsonPathPrefix(Record(), *path);
    EXPECT_EQ(prefix.Steps, 4);
    EXPECT_EQ(Values(prefix.Matches).left(24), QStringLiteral(".entities[1].vcardArray[")); // the card's properties
    EXPECT_EQ(LongestJsonPathPrefix(Record(), *ParseJsonPath(u"$.port43")).Steps, 0);
    EXPECT_EQ(LongestJsonPathPrefix(Record(), *ParseJsonPath(u"$.port43")).Matches.size(), 1); // the root
}

TEST(RedactionPathTest, PathsNameTheFieldsTheyWithhold)
{
    struct Row
    {
        const char* path;
        const char* labels;
    };
    const Row rows[] = {
        { "$.handle", "registry domain id" },
        { "$.port43", "registrar whois server" }, // removed: read by form
        { "$.events[?(@.eventAction=='expiration')]", "registry expiry date" },
        { "$.events[0].eventDate", "" }, // a member of an event: no field of its own form
        { "$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='fn')][3]", "registrant name" },
        { "$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='email')]", "registrant email" },
        { "$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='adr')][3][:3]", "registrant street" },
        { "$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='adr')][3][3]", "registrant city" },
        { "$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='adr')]",
          "registrant street registrant city registrant state/province registrant postal code registrant country" },
        { "$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[1].type=='voice')]", "registrant phone" },
        { "$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[1].type=='fax')]", "registrant fax" },
        { "$.entities[1].vcardArray[1][4]", "registrant fax" }, // by index: the property read from the answer
        { "$.entities[1].handle", "registry registrant id" },
        { "$.entities[?(@.roles[0]=='billing')]", "billing contact" },
        { "$.entities[?(@.roles[0]=='billing')].vcardArray[1][?(@[0]=='org')]", "billing organization" },
        // An entity with two roles withholds the field of both.
        { "$.entities[2].vcardArray[1][0][3]", "tech name admin name" },
        { "$.entities[2].entities[?(@.roles[0]=='abuse')].vcardArray[1][?(@[0]=='email')]",
          "registrar abuse contact email" },
        // Forms that name no port-43 field, or no path at all: left to the entry's name.
        { "$.entities[0].vcardArray[1][?(@[0]=='fn')]", "" }, // the registrar role has no contact lines
        { "$.entities[?(@.roles[0]=='registrant')].vcardArray[1][?(@[0]=='photo')]", "" },
        { "$.entities[?(@.handle=='R1')].vcardArray[1][?(@[0]=='fn')]", "registrant name" }, // found in the answer
        { "$.entities[?(@.handle=='R9')].vcardArray[1][?(@[0]=='fn')]", "" }, // not found, and no role to read
        { "$.nameservers[0]", "" },
        { "$..fn", "" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(RedactedLabels(Record(), QString::fromUtf8(row.path)).join(u' '), QString::fromUtf8(row.labels));
    }
}

} // namespace
} // namespace vesk
