#include "rdap/domain_text.h"
#include "rdap/network_text.h"
#include "rdap/rdap_answer.h"
#include "support/test_data.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

// Every recorded answer under tests/data/rdap is rendered and compared with the reviewed text beside it in
// golden/. scripts/update-rdap-golden.sh rewrites those texts (VESK_UPDATE_GOLDEN=1) and shows the diff to review.

namespace vesk {
namespace {

QByteArray KindName(RdapAnswerKind kind)
{
    switch (kind) {
    case RdapAnswerKind::Invalid:
        return "invalid";
    case RdapAnswerKind::Error:
        return "error";
    case RdapAnswerKind::Domain:
        return "domain";
    case RdapAnswerKind::IpNetwork:
        return "ip network";
    case RdapAnswerKind::OtherObject:
        return "other object";
    }
    return "?";
}

// The renderings of one answer: file suffix -> text. Records with comments get a second text with them.
QList<std::pair<QString, QByteArray>> Renderings(const RdapAnswer& answer)
{
    if (answer.Kind == RdapAnswerKind::Domain)
        return { { QStringLiteral(".txt"), RenderDomainRecord(answer, true) },
                 { QStringLiteral(".comments.txt"), RenderDomainRecord(answer, false) } };
    if (answer.Kind == RdapAnswerKind::IpNetwork)
        return { { QStringLiteral(".txt"), RenderNetworkRecord(answer, true) },
                 { QStringLiteral(".comments.txt"), RenderNetworkRecord(answer, false) } };
    // No record text: what the answer was read as, which the failure text is made from.
    QByteArray text = "kind: " + KindName(answer.Kind);
    if (answer.Kind == RdapAnswerKind::Error) {
        text += "\r\nerrorCode: " + QByteArray::number(answer.ErrorCode) + "\r\ntitle: " + answer.ErrorTitle.toUtf8();
        for (const QString& line : answer.ErrorDescription)
            text += "\r\ndescription: " + line.toUtf8();
    } else {
        text += "\r\nobjectClassName: " + answer.Object.value(u"objectClassName").toString().toUtf8();
    }
    const bool rendered = !RenderDomainRecord(answer, false).isEmpty() || !RenderNetworkRecord(answer, false).isEmpty();
    text += rendered ? "\r\nrendered: yes" : "\r\nrendered: no";
    return { { QStringLiteral(".txt"), text } };
}

// Golden files hold LF line ends and end with one, so they read and diff like any text file.
QByteArray AsGolden(QByteArray text)
{
    return text.replace("\r\n", "\n") + '\n';
}

TEST(RdapGoldenTest, EveryRecordedAnswerRendersAsReviewed)
{
    const bool update = qEnvironmentVariableIntValue("VESK_UPDATE_GOLDEN") == 1;
    const QDir fixtures(test::TestDataPath(QStringLiteral("rdap")));
    const QDir golden(fixtures.filePath(QStringLiteral("golden")));
    const QStringList names = fixtures.entryList({ QStringLiteral("*.json") }, QDir::Files, QDir::Name);
    ASSERT_GE(names.size(), 11);
    QStringList expectedFiles;
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const RdapAnswer answer = ParseRdapAnswer(test::ReadTestData(QStringLiteral("rdap/") + name));
        EXPECT_NE(answer.Kind, RdapAnswerKind::Invalid);
        for (const auto& [suffix, text] : Renderings(answer)) {
            const QString file = name.chopped(5) + suffix;
            expectedFiles.append(file);
            QFile goldenFile(golden.filePath(file));
            if (update) {
                ASSERT_TRUE(goldenFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) << file.toStdString();
                goldenFile.write(AsGolden(text));
                continue;
            }
            ASSERT_TRUE(goldenFile.open(QIODevice::ReadOnly)) << "no golden text " << file.toStdString();
            EXPECT_EQ(AsGolden(text).toStdString(), goldenFile.readAll().toStdString()) << file.toStdString();
        }
    }
    // A golden text without its answer is left over from a renamed or removed fixture.
    expectedFiles.sort();
    if (!update) {
        EXPECT_EQ(golden.entryList(QDir::Files, QDir::Name), expectedFiles);
    }
}

} // namespace
} // namespace vesk
