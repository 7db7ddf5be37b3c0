// The batch input reader on any bytes, fed in pieces whose sizes come from the input: every line is numbered in
// order, holds no line end, keeps at most the longest line kept, is searchable only when it holds no NUL and no
// control character, and the pieces give exactly the lines that the whole text gives.

#include "batch/batch_input.h"
#include "fuzz_check.h"

#include <QBuffer>

namespace {

using namespace vesk;

constexpr qsizetype kMaxLine = 64;

bool SameLines(const QList<BatchLine>& a, const QList<BatchLine>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].Number != b[i].Number || a[i].Query != b[i].Query || a[i].Problem != b[i].Problem
            || a[i].Ignored != b[i].Ignored)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView input = fuzz::Bytes(data, size);
    const auto pieceSize = static_cast<qsizetype>(static_cast<uint8_t>(input[0]) % 17 + 1);
    const QByteArrayView text = input.sliced(1);

    const QList<BatchLine> whole = SplitBatchLines(text, kMaxLine);
    qint64 lineEnds = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && i > 0 && text[i - 1] == '\r')
            continue;
        lineEnds += text[i] == '\n' || text[i] == '\r' ? 1 : 0;
    }
    qint64 previous = 0;
    for (const BatchLine& line : whole) {
        VESK_FUZZ_CHECK(line.Number > previous, "lines come in input order");
        VESK_FUZZ_CHECK(line.Number <= lineEnds + 1, "a line number counts line ends");
        previous = line.Number;
        VESK_FUZZ_CHECK(!line.Query.contains('\n') && !line.Query.contains('\r'), "a line holds no line end");
        VESK_FUZZ_CHECK(line.Query.size() <= kMaxLine, "no more than the longest line is kept");
        VESK_FUZZ_CHECK(!line.Ignored || !line.Problem.isEmpty(), "an ignored line says why");
        if (line.Problem.isEmpty()) {
            VESK_FUZZ_CHECK(!line.Query.isEmpty() && !line.Query.startsWith('#'),
                            "blank and comment lines give nothing");
            for (const char c : line.Query) {
                const auto byte = static_cast<uint8_t>(c);
                VESK_FUZZ_CHECK((byte >= 0x20 && byte != 0x7F) || byte == '\t', "a searchable line holds no control");
            }
        }
    }

    BatchLineSplitter splitter(kMaxLine);
    for (qsizetype at = 0; at < text.size(); at += pieceSize)
        splitter.Feed(text.sliced(at, std::min(pieceSize, text.size() - at)));
    splitter.Finish();
    QList<BatchLine> pieces;
    while (std::optional<BatchLine> line = splitter.Take())
        pieces.append(std::move(*line));
    VESK_FUZZ_CHECK(SameLines(whole, pieces), "pieces give the lines of the whole text");

    QByteArray bytes = text.toByteArray();
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly);
    BatchInput reader(device, kMaxLine);
    QList<BatchLine> read;
    while (std::optional<BatchLine> line = reader.Next())
        read.append(std::move(*line));
    VESK_FUZZ_CHECK(SameLines(whole, read), "the device gives the lines of the whole text");
    return 0;
}
