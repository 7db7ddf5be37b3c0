// `cmake --install` into a temporary prefix, then the installed programs and files as a user meets them:
// definitions from share/vesk, the log in the user's state folder, nothing written under the prefix, and the
// desktop entry, AppStream file and manual pages accepted by their own tools.

#include "defs/definition_file.h"
#include "support/fake_whois_server.h"
#include "support/test_data.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace vesk::test {
namespace {

constexpr char kAppId[] = "io.github.vesk_whois.vesk";

struct Result
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Result RunProgram(const QString& program, const QStringList& arguments,
                  const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(10000))
        return { -1, {}, process.errorString().toUtf8() };
    if (!process.waitForFinished(120000))
        return { -1, {}, "did not end" };
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
             process.readAllStandardError() };
}

// Every file under `root` with a hash of its bytes, by path relative to `root`.
QMap<QString, QByteArray> Snapshot(const QString& root)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(root, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        QByteArray hash = "folder";
        if (it.fileInfo().isFile() && file.open(QIODevice::ReadOnly))
            hash = QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
        files.insert(QDir(root).relativeFilePath(path), hash);
    }
    return files;
}

// One installation shared by the cases of this file.
class InstallTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_prefix = std::make_unique<QTemporaryDir>();
        const Result install = RunProgram(QStringLiteral(VESK_CMAKE_COMMAND),
                                          { QStringLiteral("--install"), QStringLiteral(VESK_BUILD_DIR),
                                            QStringLiteral("--prefix"), s_prefix->path() });
        s_installOutput = install.out + install.err;
        s_installed = install.status == 0;
    }
    static void TearDownTestSuite() { s_prefix.reset(); }

    void SetUp() override { ASSERT_TRUE(s_installed) << s_installOutput.toStdString(); }

    static QString Installed(const QString& relative) { return QDir(s_prefix->path()).filePath(relative); }

    // The environment of a user whose home is `home`, with no settings yet.
    static QProcessEnvironment UserEnvironment(const QString& home)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/state"));
        return environment;
    }

    // The tool or a clear failure naming the package that brings it.
    static QString Tool(const char* name, const char* package)
    {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (path.isEmpty())
            ADD_FAILURE() << name << " is missing: install " << package << " (scripts/install-deps.sh does)";
        return path;
    }

    static std::unique_ptr<QTemporaryDir> s_prefix;
    static QByteArray s_installOutput;
    static bool s_installed;
};

std::unique_ptr<QTemporaryDir> InstallTest::s_prefix;
QByteArray InstallTest::s_installOutput;
bool InstallTest::s_installed = false;

TEST_F(InstallTest, InstalledQueryReadsTheShippedSetAndWritesOnlyIntoTheUsersFolders)
{
    const QMap<QString, QByteArray> before = Snapshot(s_prefix->path());
    for (const QByteArray& name : { kTldFileName.Text(), kHostMarkFileName.Text(), kVersionFileName.Text() })
        EXPECT_TRUE(before.contains(QStringLiteral("share/vesk/") + QString::fromLatin1(name))) << name.data();
    QTemporaryDir home;
    const QProcessEnvironment user = UserEnvironment(home.path());
    const QString program = Installed(QStringLiteral("bin/vesk-query"));

    const Result version = RunProgram(program, { QStringLiteral("--version") }, user);
    EXPECT_EQ(version.status, 0) << version.err.data();
    EXPECT_EQ(version.out, QByteArray("vesk-query " VESK_PROJECT_VERSION "\n"));

    // .de is answered by its own registry only when the shipped tables are read; without them every query would
    // go to the .com/.net registry, which is not routed here.
    FakeWhoisServer registry;
    ASSERT_TRUE(registry.IsListening());
    registry.SetDefaultReply(ReadTestData(QStringLiteral("whois/whois.denic.de-de-free-T-dn-ace.txt")));
    const Result query = RunProgram(
        program,
        { QStringLiteral("--no-ip"), QStringLiteral("--no-contacts"), QStringLiteral("--resolve"),
          QStringLiteral("whois.denic.de:43:127.0.0.1:%1").arg(registry.Port()), QStringLiteral("example-free.de") },
        user);
    EXPECT_EQ(query.status, 0) << query.err.data();
    EXPECT_FALSE(query.err.contains("no definition data")) << query.err.data();
    ASSERT_EQ(registry.ReceivedQueries().size(), 1);
    EXPECT_TRUE(registry.ReceivedQueries().first().contains("example-free.de"));
    EXPECT_TRUE(query.out.contains("DOMAIN REPORT FOR: EXAMPLE-FREE.DE")) << query.out.data();

    QFile log(home.filePath(QStringLiteral("state/vesk/LOG/vesk-query.log")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << "the log belongs in the user's state folder";
    EXPECT_TRUE(log.readAll().contains("Query: example-free.de"));
    // The search is recorded in the user's data folder (the store and the write-ahead log it keeps beside it), and
    // nothing else goes there.
    QStringList stored
        = QDir(home.filePath(QStringLiteral("data/vesk"))).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    stored.removeAll(QStringLiteral("history.sqlite-wal"));
    stored.removeAll(QStringLiteral("history.sqlite-shm"));
    EXPECT_EQ(stored, QStringList { QStringLiteral("history.sqlite") });
    EXPECT_EQ(Snapshot(s_prefix->path()), before) << "nothing under the prefix is written or added";
}

TEST_F(InstallTest, DesktopFilesAndManualPagesPassTheirOwnTools)
{
    for (const char* page : { "vesk.1.gz", "vesk-query.1.gz", "vesk-defs.1.gz" }) {
        SCOPED_TRACE(page);
        const QString path = Installed(QStringLiteral("share/man/man1/") + QString::fromLatin1(page));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        const Result man
            = RunProgram(Tool("man", "man-db"),
                         { QStringLiteral("-P"), QStringLiteral("cat"), QStringLiteral("-l"), path }, environment);
        EXPECT_EQ(man.status, 0) << man.err.data();
        EXPECT_TRUE(man.out.contains("NAME")) << man.out.data();
        EXPECT_TRUE(man.out.contains("SEE ALSO"));
    }
    for (const char* file : { "share/bash-completion/completions/vesk-query", "share/zsh/site-functions/_vesk-query",
                              "share/doc/vesk/copyright", "share/doc/vesk/changelog.gz" })
        EXPECT_TRUE(QFileInfo(Installed(QString::fromLatin1(file))).isFile()) << file;

    if (!VESK_WITH_GUI)
        return;
    EXPECT_TRUE(QFileInfo(Installed(QStringLiteral("bin/vesk"))).isExecutable());
    EXPECT_TRUE(QFileInfo(Installed(QStringLiteral("share/vesk/vesk-manual.html"))).isFile());
    const QString id = QString::fromLatin1(kAppId);
    for (const char* size : { "16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256" }) {
        EXPECT_TRUE(
            QFileInfo(
                Installed(QStringLiteral("share/icons/hicolor/%1/apps/%2.png").arg(QString::fromLatin1(size), id)))
                .isFile())
            << size;
    }
    EXPECT_TRUE(QFileInfo(Installed(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(id))).isFile());

    const QString desktop = Installed(QStringLiteral("share/applications/%1.desktop").arg(id));
    const Result entry = RunProgram(Tool("desktop-file-validate", "desktop-file-utils"), { desktop });
    EXPECT_EQ(entry.status, 0) << entry.out.data() << entry.err.data();
    EXPECT_FALSE(entry.out.contains("error")) << entry.out.data();

    const QString metainfo = Installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(id));
    const Result appstream = RunProgram(Tool("appstreamcli", "appstream"),
                                        { QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo });
    EXPECT_EQ(appstream.status, 0) << appstream.out.data() << appstream.err.data();

    // The newest release named in the metainfo is this build's version.
    QFile file(metainfo);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QRegularExpressionMatch release
        = QRegularExpression(QStringLiteral("<release version=\"([^\"]+)\"")).match(QString::fromUtf8(file.readAll()));
    ASSERT_TRUE(release.hasMatch());
    EXPECT_EQ(release.captured(1), QStringLiteral(VESK_PROJECT_VERSION));
}

} // namespace
} // namespace vesk::test
