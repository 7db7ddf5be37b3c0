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
    if (!RenderAutnumRecord(answer, false).isEmpty())
        return { { QStringLiteral(".txt"), RenderAutnumRecord(answer, true) },
                 { QStringLiteral(".comments.txt"), RenderAutnumRecord(answer, false) } };
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

// Compares `text` with the golden file, or writes it there when updating.
void Check(const QString& path, const QByteArray& text, bool update)
{
    QFile goldenFile(path);
    if (update) {
        ASSERT_TRUE(goldenFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        goldenFile.write(AsGolden(text));
        return;
    }
    ASSERT_TRUE(goldenFile.open(QIODevice::ReadOnly)) << "no golden text " << path.toStdString();
    EXPECT_EQ(AsGolden(text).toStdString(), goldenFile.readAll().toStdString()) << path.toStdString();
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
            Check(golden.filePath(file), text, update);
        }
    }
    // Registry and registrar answers of one recording, shown as one record.
    const struct
    {
        const char* registry;
        const char* registrar;
        const char* golden;
    } pairs[] = {
        { "verisign-com-google.com.json", "registrar-markmonitor-google.com.json",
          "google.com-registry-and-registrar" },
    };
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.golden);
        const RdapAnswer registry
            = ParseRdapAnswer(test::ReadTestData(QStringLiteral("rdap/") + QString::fromUtf8(pair.registry)));
        const RdapAnswer registrar
            = ParseRdapAnswer(test::ReadTestData(QStringLiteral("rdap/") + QString::fromUtf8(pair.registrar)));
        for (const bool filter : { true, false }) {
            const QString file
                = QString::fromUtf8(pair.golden) + (filter ? QStringLiteral(".txt") : QStringLiteral(".comments.txt"));
            expectedFiles.append(file);
            Check(golden.filePath(file), RenderDomainRecords(registry, registrar, filter), update);
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
