// The batch input: line ends of every kind, lines that cannot be searched, and reading as a stream.

#include "batch/batch_input.h"

#include <QBuffer>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace vesk::test {
namespace {

// A line as the test reads it: "N:query" or "N!problem" (ignored: "N~problem").
std::vector<std::string> Describe(const QList<BatchLine>& lines)
{
    std::vector<std::string> described;
    for (const BatchLine& line : lines) {
        const QString mark = line.Ignored ? QStringLiteral("~")
            : line.Problem.isEmpty()      ? QStringLiteral(":")
                                          : QStringLiteral("!");
        described.push_back((QString::number(line.Number) + mark
                             + (line.Problem.isEmpty() ? QString::fromLatin1(line.Query) : line.Problem))
                                .toStdString());
    }
    return described;
}

TEST(BatchInput, EveryLineEndAndEveryUnsearchableLine)
{
    const std::string nul = "the line holds a NUL byte; it is skipped";
    const std::string control = "the line holds a control character";
    const std::string tooLong = "the line is longer than 16 bytes";
    struct Row
    {
        const char* name;
        QByteArray input;
        std::vector<std::string> lines;
    };
    const Row rows[] = {
        { "LF", "a.com\nb.com\n", { "1:a.com", "2:b.com" } },
        { "CR LF", "a.com\r\nb.com\r\n", { "1:a.com", "2:b.com" } },
        { "lone CR", "a.com\rb.com\r", { "1:a.com", "2:b.com" } },
        { "mixed, last line without an end", "a.com\r\n\rb.com\nc.com", { "1:a.com", "3:b.com", "4:c.com" } },
        { "CR LF split across LF CR", "a.com\n\rb.com", { "1:a.com", "3:b.com" } },
        { "blank, blank-looking and comment lines", " \t\n# note\n  c.com  \n\n", { "3:c.com" } },
        { "NUL anywhere, even in a comment",
          QByteArray("a.com\n#x\0y\nb\0.com\n", 17),
          { "1:a.com", "2~" + nul, "3~" + nul } },
        { "control characters", "a\x1b[2J.com\nb.\x7f\n", { "1!" + control, "2!" + control } },
        { "too long, with and without a line end",
          QByteArray(20, 'x') + "\nok.com\n" + QByteArray(40, 'y'),
          { "1!" + tooLong, "2:ok.com", "3!" + tooLong } },
        { "exactly the longest line kept", QByteArray(16, 'z') + "\n", { "1:" + std::string(16, 'z') } },
        { "empty input", "", {} },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Describe(SplitBatchLines(row.input, 16)), row.lines);
        // Fed a byte at a time, as a slow pipe hands it over, the lines are the same.
        BatchLineSplitter splitter(16);
        for (const char c : row.input)
            splitter.Feed(QByteArrayView(&c, 1));
        splitter.Finish();
        QList<BatchLine> pieces;
        while (std::optional<BatchLine> line = splitter.Take())
            pieces.append(*line);
        EXPECT_EQ(Describe(pieces), row.lines);
        // And read from a device.
        QByteArray text = row.input;
        QBuffer device(&text);
        device.open(QIODevice::ReadOnly);
        BatchInput input(device, 16);
        QList<BatchLine> read;
        while (std::optional<BatchLine> line = input.Next())
            read.append(*line);
        EXPECT_EQ(Describe(read), row.lines);
        EXPECT_TRUE(input.ReadError().isEmpty());
    }
}

TEST(BatchInput, AHugeLineCostsNoMoreThanTheLongestLineKept)
{
    const QByteArray huge(8 * 1024 * 1024, 'x');
    const QList<BatchLine> lines = SplitBatchLines(huge + "\nnext.com\n");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_FALSE(lines[0].Problem.isEmpty());
    EXPECT_EQ(lines[0].Query.size(), BatchLineSplitter::kDefaultMaxLineBytes);
    EXPECT_EQ(lines[1].Query, "next.com");
}

} // namespace
} // namespace vesk::test
