#include "codecs/utf8_decoder.h"

#include <gtest/gtest.h>
#include <vector>

namespace vesk {
namespace {

std::vector<char16_t> Units(const QString& text)
{
    std::vector<char16_t> out;
    for (const QChar c : text)
        out.push_back(c.unicode());
    return out;
}

TEST(DecodeUtf8CharTest, StatusLengthAndValueForEachKindOfSequence)
{
    struct Row
    {
        const char* name;
        QByteArray bytes;
        DecodeStatus status;
        int length;
        uint32_t value;
    } rows[] = {
        { "ascii", "A", DecodeStatus::Ok, 1, 0x41 },
        { "nul", QByteArray(1, '\0'), DecodeStatus::Ok, 1, 0 },
        { "two bytes", "\xC3\xA9", DecodeStatus::Ok, 2, 0xE9 },
        { "three bytes", "\xE2\x95\x90", DecodeStatus::Ok, 3, 0x2550 },
        { "four bytes", "\xF0\x9F\x98\x80", DecodeStatus::Ok, 4, 0x1F600 },
        { "overlong nul", "\xC0\x80", DecodeStatus::Ok, 2, 0 },
        { "surrogate", "\xED\xA0\x80", DecodeStatus::Ok, 3, 0xD800 },
        { "F7 maximum", "\xF7\xBF\xBF\xBF", DecodeStatus::Ok, 4, 0x1FFFFF },
        { "stray continuation", "\x80\x41", DecodeStatus::Invalid, 1, 0x80 },
        { "F8 cannot start", "\xF8\x80\x80\x80\x80", DecodeStatus::Invalid, 1, 0xF8 },
        { "FF cannot start", "\xFF", DecodeStatus::Invalid, 1, 0xFF },
        { "second byte not continuation", "\xC3\x41", DecodeStatus::Invalid, 1, 0xC3 },
        { "third byte not continuation", "\xE2\x82\xC3", DecodeStatus::Invalid, 1, 0xE2 },
        { "cut two", "\xC3", DecodeStatus::Incomplete, 2, 0xC3 },
        { "cut three", "\xE2\x82", DecodeStatus::Incomplete, 3, 0xE2 },
        { "cut four", "\xF0\x9F\x98", DecodeStatus::Incomplete, 4, 0xF0 },
        // A present byte that cannot continue decides before the missing ones.
        { "latin-1 letter near the end", "\xE9x", DecodeStatus::Invalid, 1, 0xE9 },
        { "cut four, bad third", "\xF0\x9F(", DecodeStatus::Invalid, 1, 0xF0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const DecodedChar d = DecodeUtf8Char(row.bytes.constData(), row.bytes.size());
        EXPECT_EQ(d.status, row.status);
        EXPECT_EQ(d.length, row.length);
        EXPECT_EQ(d.value, row.value);
    }
}

TEST(DecodeUtf8CharTest, NoInputWhenThePointerIsAbsentOrNothingIsLeft)
{
    for (const DecodedChar d : { DecodeUtf8Char(nullptr, 5), DecodeUtf8Char("a", 0), DecodeUtf8Char("a", -3) }) {
        EXPECT_EQ(d.status, DecodeStatus::NoInput);
        EXPECT_EQ(d.length, 0);
        EXPECT_EQ(d.value, 0u);
    }
    // The count limits what is read, not the terminating NUL.
    EXPECT_EQ(DecodeUtf8Char("\xC3\xA9", 1).status, DecodeStatus::Incomplete);
}

TEST(DecodeUtf8WideCharTest, NarrowsToOneUnitAndMarksValuesAboveTheBmp)
{
    DecodedWideChar d = DecodeUtf8WideChar("\xF0\x9F\x98\x80", 4);
    EXPECT_EQ(d.status, DecodeStatus::OutOfRange);
    EXPECT_EQ(d.unit, 0);
    EXPECT_EQ(d.length, 4);

    d = DecodeUtf8WideChar("\xEF\xBF\xBF", 3);
    EXPECT_EQ(d.status, DecodeStatus::Ok);
    EXPECT_EQ(d.unit, 0xFFFF);

    d = DecodeUtf8WideChar("\xC3", 1); // the status of a bad sequence is passed on with its byte
    EXPECT_EQ(d.status, DecodeStatus::Incomplete);
    EXPECT_EQ(d.unit, 0xC3);
    EXPECT_EQ(d.length, 2);
}

TEST(Utf8ToWideTextTest, DecodesUtf8AndFallsBackToLatin1ByteByByte)
{
    struct Row
    {
        const char* name;
        QByteArray bytes;
        std::vector<char16_t> units;
    } rows[] = {
        { "empty", "", {} },
        { "ascii", "abc", { 'a', 'b', 'c' } },
        { "e acute", "\xC3\xA9", { 0xE9 } },
        { "latin-1 e acute then x", "\xE9x", { 0xE9, 'x' } },
        { "box drawing", "\xE2\x95\x90", { 0x2550 } },
        { "above the bmp", "\xF0\x9F\x98\x80", { 0xD83D, 0xDE00 } },
        { "last code point", "\xF4\x8F\xBF\xBF", { 0xDBFF, 0xDFFF } },
        { "past the last code point", "\xF4\x90\x80\x80z", { 0xF4, 0x90, 0x80, 0x80, 'z' } },
        { "emoji between latin-1", "\xE9\xF0\x9F\x98\x80\xE9", { 0xE9, 0xD83D, 0xDE00, 0xE9 } },
        { "stray continuation", "\x80\x41", { 0x80, 0x41 } },
        { "cut at the end, two", "ab\xC3", { 'a', 'b', 0xC3 } },
        { "cut at the end, three", "\xE2\x82", { 0xE2 } },
        { "cut at the end, four", "x\xF0\x9F\x98", { 'x', 0xF0 } },
        { "ff fe", "\xFF\xFE", { 0xFF, 0xFE } },
        { "overlong nul", "\xC0\x80", { 0 } },
        { "bad second byte resumes there", "\xC3(\xC3\xA9", { 0xC3, '(', 0xE9 } },
        { "latin-1 word",
          "M\xFCller Stra\xDF"
          "e",
          { 'M', 0xFC, 'l', 'l', 'e', 'r', ' ', 'S', 't', 'r', 'a', 0xDF, 'e' } },
        { "embedded nul", QByteArray("\xC3\xA9\0z", 4), { 0xE9, 0, 'z' } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Units(Utf8ToWideText(row.bytes)), row.units);
    }
}

TEST(Utf8ToWideTextTest, AsciiFastPathMatchesWidening)
{
    QByteArray all;
    for (int b = 0; b < 128; ++b)
        all.append(static_cast<char>(b));
    EXPECT_TRUE(IsPlainAscii(all));
    EXPECT_TRUE(IsPlainAscii({}));
    EXPECT_FALSE(IsPlainAscii("abc\x80"));
    EXPECT_EQ(Utf8ToWideText(all), WidenLatin1(all));
    EXPECT_EQ(Utf8ToWideText(all).size(), 128);

    QByteArray high;
    for (int b = 0; b < 256; ++b)
        high.append(static_cast<char>(b));
    const QString widened = WidenLatin1(high);
    ASSERT_EQ(widened.size(), 256);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(widened[b].unicode(), b);
}

TEST(Utf8ToWideTextTest, AgreesWithQtOnValidText)
{
    const QString sample = QStringLiteral(
        u"Gr\u00FC\u00DFe \u041F\u0440\u0438\u0432\u0435\u0442 \u4F60\u597D \u2550\u2557 \U0001F600 \U00020BB7");
    EXPECT_EQ(Utf8ToWideText(sample.toUtf8()), sample);
}

// Every prefix of mixed input decodes to no more units than bytes and never reads past its end (ASan checks
// the reading: each prefix is copied into a buffer of its own size).
TEST(Utf8ToWideTextTest, EveryTruncationDecodesWithinItsBounds)
{
    const QByteArray sample("a\xC3\xA9\xE2\x95\x90\xF0\x9F\x98\x80\x80\xFF\xE9z\xE2\x82");
    for (qsizetype n = 0; n <= sample.size(); ++n) {
        SCOPED_TRACE(n);
        const std::vector<char> own(sample.constData(), sample.constData() + n);
        const QString text = Utf8ToWideText(QByteArrayView(own.data(), n));
        EXPECT_LE(text.size(), n);
        EXPECT_EQ(text.isEmpty(), n == 0);
    }
}

} // namespace
} // namespace vesk
