// The manual page and the shell completions list exactly the options that vesk-query accepts and --help names.

#include "cli/query_command.h"
#include "support/lookup_world.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace vesk::test {
namespace {

QString ReadPackagingFile(const char* relative)
{
    QFile file(QStringLiteral(VESK_PACKAGING_DIR "/") + QString::fromLatin1(relative));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "cannot read " << relative;
    return QString::fromUtf8(file.readAll());
}

// Every "--name" and the short "-h" written in `text`; roff writes a dash as "\-".
QSet<QString> OptionsIn(QString text)
{
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    QSet<QString> options;
    const QRegularExpression option(QStringLiteral("(?<![\\w-])(--[a-z][a-z-]*[a-z]|-h\\b)"));
    for (QRegularExpressionMatchIterator it = option.globalMatch(text); it.hasNext();)
        options.insert(it.next().captured(1));
    return options;
}

TEST(OptionsListed, ManualPageCompletionsAndHelpNameWhatTheCommandAccepts)
{
    const QStringList names = QueryCommand::OptionNames();
    const QSet<QString> accepted(names.cbegin(), names.cend());
    ASSERT_TRUE(accepted.contains(QStringLiteral("--resolve")));

    LookupWorld world;
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    QueryCommand command({ *world.Settings, *world.Log, world.Definitions, world.Transport, world.Wait, {}, {} }, out,
                         err);
    ASSERT_EQ(command.Run({ QStringLiteral("vesk-query"), QStringLiteral("--help") }), QueryCommand::Success);

    const struct
    {
        const char* name;
        QString text;
    } sources[] = {
        { "--help", QString::fromUtf8(out.data()) },
        { "man/vesk-query.1", ReadPackagingFile("man/vesk-query.1") },
        { "completion/vesk-query.bash", ReadPackagingFile("completion/vesk-query.bash") },
        { "completion/_vesk-query", ReadPackagingFile("completion/_vesk-query") },
    };
    for (const auto& source : sources) {
        SCOPED_TRACE(source.name);
        const QSet<QString> listed = OptionsIn(source.text);
        EXPECT_EQ(listed - accepted, QSet<QString>()) << "listed but not accepted";
        EXPECT_EQ(accepted - listed, QSet<QString>()) << "accepted but not listed";
    }
}

} // namespace
} // namespace vesk::test
