#include "common/day_numbers.h"
#include "defs/definition_file.h"
#include "defs/definition_sets.h"
#include "defs/definition_tables.h"
#include "defs/signed_manifest.h"
#include "defs_tool.h"
#include "support/signed_sets.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk::defs_tool {
namespace {

QStringList Messages(const QList<Finding>& findings)
{
    QStringList out;
    for (const Finding& f : findings)
        out.append(QString::number(f.line) + QLatin1Char(':') + f.message);
    return out;
}

TEST(SourceTest, EveryKindOfLineBreakBecomesCrLfAndCommentsGo)
{
    EXPECT_EQ(SourceToPlain("# comment\na#b#c\r\nd#e#f\rg#h#i"), QByteArray("a#b#c\r\nd#e#f\r\ng#h#i\r\n"));
    EXPECT_EQ(SourceToPlain("a##b\n\n"), QByteArray("a##b\r\n\r\n")) << "a blank line stays a row";
    EXPECT_EQ(SourceToPlain(""), QByteArray());
    EXPECT_EQ(SourceLines("x\r\n\r\ny").size(), 3);
}

TEST(CheckSourceTest, CleanSourcesHaveNoFindings)
{
    EXPECT_TRUE(CheckSource("# header\ncom#Commercial#whois.verisign-grs.com\nac#Ascension Island#\n", TableKind::Tld)
                    .isEmpty());
    EXPECT_TRUE(
        CheckSource("whois.x#Domain:#End#No match#-T dn,ace##2\r\nwhois.y######0\r\n", TableKind::Servers).isEmpty());
}

TEST(CheckSourceTest, ReportsEveryLineTheProgramWouldNotReadAsWritten)
{
    struct Row
    {
        const char* name;
        TableKind kind;
        const char* source;
        const char* expected; // "line:" and the start of one of the messages
    } rows[] = {
        { "duplicate", TableKind::Tld, "com#a#b\nnet#c#d\ncom#e#f\n", "3:duplicate key \"com\" (first on line 1)" },
        { "upper case", TableKind::Tld, "Com#a#b\n", "1:key \"Com\" is not in lower case" },
        { "blank line", TableKind::Tld, "com#a#b\n\t\nnet#c#d\n", "2:empty key" },
        { "empty key", TableKind::Servers, " #a#b#c#d#e#1\n", "1:empty key" },
        { "short tld", TableKind::Tld, "c#one letter#whois.c\n", "1:key \"c\" is shorter than 2" },
        { "short host", TableKind::Servers, "a.b######1\n", "1:key \"a.b\" is shorter than 4" },
        { "field count", TableKind::Tld, "com#a\n", "1:2 fields, expected 3" },
        { "hash in a field", TableKind::Tld, "com#a#b#c\n", "1:4 fields, expected 3" },
        { "blanks", TableKind::Tld, "com# Commercial#x\n", "1:field 2 has blanks" },
        { "kind", TableKind::Servers, "whois.x######5\n", "1:kind \"5\" is not 0 to 4" },
        { "kind empty", TableKind::Servers, "whois.x######\n", "1:kind \"\" is not 0 to 4" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QStringList found = Messages(CheckSource(row.source, row.kind));
        bool seen = false;
        for (const QString& message : found)
            seen = seen || message.startsWith(QString::fromLatin1(row.expected));
        EXPECT_TRUE(seen) << found.join(QLatin1Char('\n')).toStdString();
    }
    EXPECT_TRUE(CheckSource("#######\n", TableKind::Servers).isEmpty());
    const QStringList nul = Messages(CheckSource(QByteArrayView("com#a\0#b\n", 9), TableKind::Tld));
    ASSERT_EQ(nul.size(), 1);
    EXPECT_TRUE(nul.first().startsWith(QStringLiteral("1:NUL byte")));
}

TEST(CheckSourceTest, PlainTextOverTheReadersLimitIsAFinding)
{
    QByteArray source;
    for (int i = 0; source.size() < kMaxPlainText; ++i)
        source += "t" + QByteArray::number(i) + "#" + QByteArray(40, 'd') + "#whois.x\n";
    const QList<Finding> findings = CheckSource(source, TableKind::Tld);
    ASSERT_EQ(findings.size(), 1);
    EXPECT_EQ(findings[0].line, 0);
    EXPECT_TRUE(findings[0].message.contains(QStringLiteral("reads only the first 65536")));
}

class ToolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(temp.isValid());
        data = temp.filePath(QStringLiteral("data"));
        output = temp.filePath(QStringLiteral("out"));
        QDir().mkpath(data);
        WriteSource(kTldSourceName,
                    "# TLDs\ncom#Commercial#whois.verisign-grs.com\r\nde#Germany#whois.denic.de\nxx#No server#\n");
        WriteSource(kServerSourceName,
                    "whois.verisign-grs.com#Domain Name:#>>> Last update#No match for#domain##2\n"
                    "whois.ripe.net###%ERROR:101: no entries found###1");
        WriteSource(kDateSourceName, "# date of the data\n2025-11-30\n");
        keyFile = temp.filePath(QStringLiteral("release.key.pem"));
        QFile key(keyFile);
        ASSERT_TRUE(key.open(QIODevice::WriteOnly));
        key.write(keys.PrivatePem);
    }
    void WriteSource(const char* name, const QByteArray& bytes)
    {
        QFile file(QDir(data).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    int Run(const QStringList& args)
    {
        outText.clear();
        errText.clear();
        QTextStream out(&outText);
        QTextStream err(&errText);
        return defs_tool::Run(args, out, err);
    }
    QString OutFile(const QByteArray& name) const { return QDir(output).filePath(QString::fromLatin1(name)); }

    QTemporaryDir temp;
    test::TestKeys keys = test::MakeTestKeys();
    QString keyFile;
    QString data;
    QString output;
    QString outText;
    QString errText;
};

TEST_F(ToolTest, BuildWritesFilesThatLoadBackToTheSourceRows)
{
    ASSERT_EQ(Run({ QStringLiteral("build"), data, output, QStringLiteral("--seed"), QStringLiteral("9") }), 0)
        << errText.toStdString();
    DefinitionTables defs;
    defs.LoadAll(output);
    ASSERT_EQ(defs.TldRows().size(), 3);
    EXPECT_EQ(defs.FindTld("de").Description, QByteArray("Germany"));
    EXPECT_TRUE(defs.FindTld("xx").Server.isEmpty());
    ASSERT_EQ(defs.HostMarks().size(), 2) << "the last line without a break is kept";
    const THostMark ripe = defs.FindHostMark("whois.ripe.net");
    EXPECT_EQ(ripe.Kind, 1);
    EXPECT_EQ(ripe.NoMatchMark, QByteArray("%ERROR:101: no entries found"));
    EXPECT_EQ(defs.FindHostMark("whois.verisign-grs.com").EndMark, QByteArray(">>> Last update"));

    // The same seed gives the same bytes: the build output is reproducible.
    QFile first(OutFile(kTldFileName.Text()));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray before = first.readAll();
    ASSERT_EQ(Run({ QStringLiteral("build"), data, output, QStringLiteral("--seed"), QStringLiteral("9") }), 0);
    QFile again(OutFile(kTldFileName.Text()));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), before);
}

TEST_F(ToolTest, BuildRefusesASourceTheReaderWouldCut)
{
    QByteArray big;
    while (big.size() <= kMaxPlainText)
        big += "t" + QByteArray::number(big.size()) + "#" + QByteArray(50, 'd') + "#\n";
    WriteSource(kTldSourceName, big);
    EXPECT_EQ(Run({ QStringLiteral("build"), data, output }), 1);
    EXPECT_TRUE(errText.contains(QStringLiteral("the program reads 65536")));
    EXPECT_FALSE(QFile::exists(OutFile(kTldFileName.Text()))) << "nothing is written when a source is refused";
    EXPECT_FALSE(QFile::exists(OutFile(kHostMarkFileName.Text())));
}

TEST_F(ToolTest, DumpPrintsRowsAndKnowsTheTableByName)
{
    ASSERT_EQ(Run({ QStringLiteral("build"), data, output }), 0);
    ASSERT_EQ(Run({ QStringLiteral("dump"), OutFile(kTldFileName.Text()) }), 0);
    EXPECT_EQ(outText,
              QStringLiteral("com | Commercial | whois.verisign-grs.com\nde | Germany | whois.denic.de\n"
                             "xx | No server | \n"));
    ASSERT_EQ(Run({ QStringLiteral("dump"), OutFile(kHostMarkFileName.Text()) }), 0);
    EXPECT_TRUE(outText.endsWith(QStringLiteral("whois.ripe.net |  |  | %ERROR:101: no entries found |  |  | 1\n")));

    // Another name needs a flag.
    const QString renamed = temp.filePath(QStringLiteral("copy.bin"));
    ASSERT_TRUE(QFile::copy(OutFile(kHostMarkFileName.Text()), renamed));
    EXPECT_EQ(Run({ QStringLiteral("dump"), renamed }), 2);
    EXPECT_EQ(Run({ QStringLiteral("dump"), renamed, QStringLiteral("--servers") }), 0);
    EXPECT_TRUE(outText.startsWith(QStringLiteral("whois.verisign-grs.com | Domain Name:")));

    QFile broken(renamed);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("short");
    broken.close();
    EXPECT_EQ(Run({ QStringLiteral("dump"), renamed, QStringLiteral("--tld") }), 1);
    EXPECT_TRUE(errText.contains(QStringLiteral("Invalid file format")));
}

TEST_F(ToolTest, CheckExitsOneOnFindingsAndNamesFileAndLine)
{
    EXPECT_EQ(Run({ QStringLiteral("check"), data }), 0) << outText.toStdString();
    WriteSource(kServerSourceName, "whois.x######1\nWhois.Y######9\n");
    EXPECT_EQ(Run({ QStringLiteral("check"), data }), 1);
    EXPECT_TRUE(outText.contains(QStringLiteral("servers.txt:2: key \"Whois.Y\" is not in lower case")));
    EXPECT_TRUE(outText.contains(QStringLiteral("servers.txt:2: kind \"9\" is not 0 to 4")));
    EXPECT_EQ(Run({ QStringLiteral("check"), temp.filePath(QStringLiteral("missing")) }), 1);
}

TEST_F(ToolTest, PublishWritesTheVersionFileBesideTheDefinitions)
{
    ASSERT_EQ(Run({ QStringLiteral("publish"), data, output, QStringLiteral("--day"), QStringLiteral("46000"),
                    QStringLiteral("--key"), keyFile }),
              0)
        << errText.toStdString();
    QFile version(OutFile(kVersionFileName.Text()));
    ASSERT_TRUE(version.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = version.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[1].trimmed(), QByteArray("46000"));
    EXPECT_TRUE(QFile::exists(OutFile(kTldFileName.Text())));
    EXPECT_TRUE(QFile::exists(OutFile(kHostMarkFileName.Text())));
}

// What publish signs is exactly what it wrote, and only the matching public key verifies it.
TEST_F(ToolTest, PublishSignsAManifestOfEveryFileItWrote)
{
    ASSERT_EQ(Run({ QStringLiteral("publish"), data, output, QStringLiteral("--day"), QStringLiteral("46000"),
                    QStringLiteral("--key"), keyFile }),
              0)
        << errText.toStdString();
    const QByteArray text = test::ReadWholeFile(OutFile(kManifestFileName));
    const QByteArray signature = test::ReadWholeFile(OutFile(kManifestSignatureFileName));
    EXPECT_TRUE(SignedByOneOf(text, signature, { keys.PublicPem }));
    EXPECT_FALSE(SignedByOneOf(text, signature, { test::MakeTestKeys().PublicPem }));
    const std::optional<SetManifest> manifest = ParseManifest(text);
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->Version, 46000);
    ASSERT_EQ(manifest->Files.size(), 3);
    for (const QByteArray& name : { kTldFileName.Text(), kHostMarkFileName.Text(), kVersionFileName.Text() }) {
        SCOPED_TRACE(name.toStdString());
        const ManifestEntry* entry = manifest->Find(name);
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(MatchesEntry(*entry, test::ReadWholeFile(OutFile(name))));
    }
}

TEST_F(ToolTest, PublishWithAKeyThatIsNoEd25519PrivateKeyWritesNothing)
{
    const QString publicOnly = temp.filePath(QStringLiteral("release.pub.pem"));
    QFile file(publicOnly);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(keys.PublicPem);
    file.close();
    for (const QString& key : { publicOnly, temp.filePath(QStringLiteral("missing.pem")), data }) {
        SCOPED_TRACE(key.toStdString());
        EXPECT_EQ(Run({ QStringLiteral("publish"), data, output, QStringLiteral("--key"), key }), 1);
        EXPECT_TRUE(errText.startsWith(QStringLiteral("vesk-defs: "))) << errText.toStdString();
    }
    EXPECT_FALSE(QDir(output).exists());
}

TEST_F(ToolTest, TheBuiltSetRecordsTheDateOfItsDataAsItsVersion)
{
    ASSERT_EQ(Run({ QStringLiteral("build"), data, output }), 0) << errText.toStdString();
    EXPECT_EQ(ReadSetVersion(output), DayNumber(QDate(2025, 11, 30)));
    ASSERT_EQ(Run({ QStringLiteral("publish"), data, output, QStringLiteral("--key"), keyFile }), 0)
        << errText.toStdString();
    EXPECT_EQ(ReadSetVersion(output), DayNumber(QDate(2025, 11, 30))) << "publishing defaults to the data's date";

    for (const QByteArray& bad : { QByteArray("# no date\n"), QByteArray("2025-13-01\n"), QByteArray("30.11.2025\n"),
                                   QByteArray("2025-11-30x\n") }) {
        SCOPED_TRACE(bad.toStdString());
        WriteSource(kDateSourceName, bad);
        EXPECT_EQ(Run({ QStringLiteral("build"), data, output }), 1);
        EXPECT_TRUE(errText.contains(QStringLiteral("holds no date of the form YYYY-MM-DD")));
        EXPECT_EQ(Run({ QStringLiteral("check"), data }), 1);
    }
}

TEST_F(ToolTest, UsageErrorsExitTwo)
{
    const QStringList bad[] = {
        {},
        { QStringLiteral("frobnicate") },
        { QStringLiteral("build"), data },
        { QStringLiteral("build"), data, output, QStringLiteral("--seed") },
        { QStringLiteral("build"), data, output, QStringLiteral("--seed"), QStringLiteral("70000") },
        { QStringLiteral("publish"), data, output, QStringLiteral("--day"), QStringLiteral("x") },
        { QStringLiteral("publish"), data, output },
        { QStringLiteral("publish"), data, output, QStringLiteral("--key") },
        { QStringLiteral("check"), data, QStringLiteral("--what") },
        { QStringLiteral("dump"), QStringLiteral("a"), QStringLiteral("--tld"), QStringLiteral("--servers") },
    };
    for (const QStringList& args : bad) {
        SCOPED_TRACE(args.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(Run(args), 2);
        EXPECT_FALSE(errText.isEmpty());
    }
    EXPECT_FALSE(QDir(output).exists()) << "a usage error writes nothing";
    EXPECT_EQ(Run({ QStringLiteral("--help") }), 0);
}

// The system's OpenSSL configuration is the administrator's business for TLS; it must not decide how the
// definition files decrypt. This one asks for FIPS-only algorithms, which the default context cannot supply.
TEST(DefsToolProcessTest, DecryptionIgnoresTheSystemsOpenSslConfiguration)
{
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("openssl.cnf"));
    QFile file(config);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("openssl_conf = openssl_init\n[openssl_init]\nalg_section = evp_properties\n"
               "[evp_properties]\ndefault_properties = fips=yes\n");
    file.close();
    const QString defs = dir.filePath(QString::fromLatin1(kTldFileName.Text()));
    QFile container(defs);
    ASSERT_TRUE(container.open(QIODevice::WriteOnly));
    container.write(EncryptDefinitionFile("com#Commercial#whois.verisign-grs.com\r\n", UnscrambleKey(), 9));
    container.close();

    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("OPENSSL_CONF"), config);
    tool.setProcessEnvironment(environment);
    tool.start(QStringLiteral(VESK_DEFS_BINARY), { QStringLiteral("dump"), defs });
    ASSERT_TRUE(tool.waitForFinished(30'000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    EXPECT_EQ(tool.readAllStandardOutput(), QByteArray("com | Commercial | whois.verisign-grs.com\n"));
}

} // namespace
} // namespace vesk::defs_tool
