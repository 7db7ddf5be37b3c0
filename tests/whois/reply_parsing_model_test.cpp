#include "support/reference_models.h"
#include "support/test_data.h"
#include "whois/reply_parsing.h"

#include <QDir>
#include <gtest/gtest.h>
#include <random>

// The single-pass deletions must give exactly what repeated "delete the first occurrence, search again" gives.

namespace vesk {
namespace {

QByteArray RandomText(std::mt19937& random, QByteArrayView alphabet, int maxSize)
{
    std::uniform_int_distribution<int> size(0, maxSize);
    std::uniform_int_distribution<qsizetype> pick(0, alphabet.size() - 1);
    QByteArray text;
    for (int n = size(random); n > 0; --n)
        text.append(alphabet[pick(random)]);
    return text;
}

TEST(SinglePassModelTest, RemovePrefixedLinesMatchesRepeatedDeletion)
{
    std::mt19937 random(20240611);
    // One-line prefixes only: a prefix with a line break matches no line (a table row in the domain tests).
    const QByteArray prefixes[] = { "%", "%%", "", "a", "% a" };
    for (int round = 0; round < 4000; ++round) {
        const QByteArray text = RandomText(random, "%%%aa \r\n\n", 40);
        for (const QByteArray& prefix : prefixes) {
            ASSERT_EQ(RemovePrefixedLines(text, prefix), model::RemovePrefixedLines(text, prefix))
                << "text " << text.toPercentEncoding().toStdString() << " prefix "
                << prefix.toPercentEncoding().toStdString();
        }
    }
}

TEST(SinglePassModelTest, RemoveAllMatchesRepeatedDeletion)
{
    std::mt19937 random(7);
    const QByteArray tokens[] = { "ab", "aba", "aa", "abab", "a", "domain:", "ba" };
    for (int round = 0; round < 6000; ++round) {
        const QByteArray text = RandomText(random, "aab", 30);
        for (const QByteArray& token : tokens) {
            ASSERT_EQ(RemoveAll(text, token), model::RemoveAll(text, token))
                << "text " << text.toStdString() << " token " << token.toStdString();
        }
    }
}

TEST(SinglePassModelTest, ArinOperationsMatchTheirModels)
{
    std::mt19937 random(99);
    // Fragments that make labels, handles and breaks likely to meet and to re-form across deletions.
    const QByteArray pieces[]
        = { "Comment: ", "Comm", "ent: ", "#", "\n", "\r\n", "\r", "(NET-", ")", "x", " ", "OrgName:" };
    std::uniform_int_distribution<int> count(0, 14);
    std::uniform_int_distribution<int> pick(0, std::size(pieces) - 2); // OrgName: only now and then
    std::uniform_int_distribution<int> rare(0, 30);
    for (int round = 0; round < 20000; ++round) {
        QByteArray text;
        for (int n = count(random); n > 0; --n)
            text += rare(random) == 0 ? pieces[std::size(pieces) - 1] : pieces[pick(random)];
        ASSERT_EQ(FilterArinComments(text), model::FilterArinComments(text)) << text.toPercentEncoding().toStdString();
        ASSERT_EQ(PickNetHandle(text), model::PickNetHandle(text)) << text.toPercentEncoding().toStdString();
    }
}

TEST(SinglePassModelTest, RecordedRepliesMatchTheModels)
{
    const QStringList files = QDir(test::TestDataPath(QStringLiteral("whois"))).entryList(QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        const QByteArray reply = test::ReadTestData(QStringLiteral("whois/") + file);
        EXPECT_EQ(RemovePrefixedLines(reply, "%"), model::RemovePrefixedLines(reply, "%"));
        EXPECT_EQ(RemoveAll(reply, "domain:"), model::RemoveAll(reply, "domain:"));
        EXPECT_EQ(FilterArinComments(reply), model::FilterArinComments(reply));
        EXPECT_EQ(PickNetHandle(reply), model::PickNetHandle(reply));
    }
}

TEST(SinglePassModelTest, LargeReplyWithManyDeletions)
{
    // 16 MiB of alternating comment and data lines; repeated deletion from the start would never finish here.
    const QByteArray unit = "% comment line\nkeep\n";
    const qsizetype units = (16 << 20) / unit.size();
    const QByteArray reply = unit.repeated(units);

    QByteArray expected = QByteArray("keep\r\n").repeated(units);
    expected.chop(2);
    EXPECT_EQ(RemovePrefixedLines(reply, "%"), expected);

    const QByteArray tokens = QByteArray("dodomain:main:").repeated(units);
    EXPECT_EQ(RemoveAll(tokens + "x", "domain:"), "x");

    const QByteArray remarks = QByteArray("Comment: a\nb").repeated(units);
    EXPECT_EQ(FilterArinComments(remarks).size(), units);

    const QByteArray handles = QByteArray("(NET-1) ").repeated(units) + "(NET-2)";
    EXPECT_EQ(PickNetHandle(handles), "NET-2");
}

} // namespace
} // namespace vesk

// A reply of millions of empty lines: the filter must stream, not index every line (memory stays near the
// reply's own size; checked under the sanitizers' allocator limits in CI rather than timed).
TEST(SinglePassModelTest, MillionsOfShortLinesStream)
{
    const QByteArray reply = QByteArray(4 * 1024 * 1024, '\n') + "% note\nkept\n";
    const QByteArray result = vesk::RemovePrefixedLines(reply, "%");
    EXPECT_EQ(result, "kept");
}
