#include "defs/definition_file.h"
#include "defs/scrambled_text.h"

#include <gtest/gtest.h>
#include <set>

namespace vesk {
namespace {

TEST(ScrambleTest, EveryTableIsAPermutationWithItsInverse)
{
    for (int n = 0; n < 10; ++n) {
        SCOPED_TRACE(n);
        std::set<int> seen;
        int fixedPoints = 0;
        for (int b = 0; b < 256; ++b) {
            const uint8_t f = scramble_detail::kTables.forward[n][b];
            seen.insert(f);
            EXPECT_EQ(scramble_detail::kTables.inverse[n][f], b);
            fixedPoints += f == b;
        }
        EXPECT_EQ(seen.size(), 256u);
        EXPECT_LT(fixedPoints, 32) << "a table that leaves most bytes alone scrambles nothing";
    }
    // The tables differ from one another.
    for (int n = 1; n < 10; ++n)
        EXPECT_NE(0, std::memcmp(scramble_detail::kTables.forward[0], scramble_detail::kTables.forward[n], 256));
}

template <int T> void ExpectRoundTrip()
{
    constexpr auto scrambled = Scramble<T>("vesk1.def \x01\x7f\xff~#");
    const QByteArray plain("vesk1.def \x01\x7f\xff~#");
    EXPECT_EQ(scrambled.table, T);
    EXPECT_EQ(scrambled.Text(), plain) << "table " << T;
    EXPECT_NE(QByteArray(reinterpret_cast<const char*>(scrambled.bytes.data()), plain.size()), plain)
        << "table " << T << " left the text readable";
}

TEST(ScrambleTest, UnscrambleRestoresWhatScrambleHidForEveryTable)
{
    ExpectRoundTrip<0>();
    ExpectRoundTrip<1>();
    ExpectRoundTrip<2>();
    ExpectRoundTrip<3>();
    ExpectRoundTrip<4>();
    ExpectRoundTrip<5>();
    ExpectRoundTrip<6>();
    ExpectRoundTrip<7>();
    ExpectRoundTrip<8>();
    ExpectRoundTrip<9>();
    EXPECT_EQ(Unscramble("", 4), QByteArray());
}

TEST(ScrambleTest, UnknownTableNumberGivesTheTextUnchanged)
{
    for (int table : { -1, 10, 255, -2147483647 - 1, 2147483647 }) {
        SCOPED_TRACE(table);
        EXPECT_EQ(Unscramble("abc\xff", table), QByteArray("abc\xff"));
    }
}

TEST(ScrambleTest, KeyIsStableAndNotTheStoredBytes)
{
    const auto key = UnscrambleKey();
    static_assert(std::tuple_size_v<decltype(key)> == 32);
    EXPECT_EQ(key, UnscrambleKey());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(key.data()), 32), QByteArray("Vk#7q!Lm2@Zr9$Wx4^Tb8&Hn5*Pd1(Ge"))
        << "changing the key makes every shipped definition file unreadable";
}

TEST(ScrambleTest, FixedFileNamesHaveTheirAgreedLengthAndTables)
{
    EXPECT_EQ(kTldFileName.Text().size(), 9);
    EXPECT_EQ(kHostMarkFileName.Text().size(), 9);
    EXPECT_EQ(kTldFileName.table, 8);
    EXPECT_EQ(kHostMarkFileName.table, 3);
    EXPECT_NE(kTldFileName.Text(), kHostMarkFileName.Text());
    EXPECT_EQ(kVersionFileName.Text(), QByteArray("vesk-v.txt"));
}

} // namespace
} // namespace vesk
