/// Scrambled texts: fixed texts kept in scrambled form and restored with Unscramble.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstddef>
#include <cstdint>

// Fixed texts that should not stand readable in the executable (definition file names, update addresses,
// captions, a few messages) are kept scrambled: every byte replaced through one of ten fixed 256-byte tables.
// Scramble<T>("text") runs at compile time, so only the scrambled bytes reach the binary; Unscramble restores them.

namespace vesk {

namespace scramble_detail {

struct Tables
{
    uint8_t forward[10][256];
    uint8_t inverse[10][256];
};

// Ten fixed permutations of 0..255, drawn with a xorshift generator from a fixed seed per table.
consteval Tables MakeTables()
{
    Tables t {};
    for (int n = 0; n < 10; ++n) {
        for (int i = 0; i < 256; ++i)
            t.forward[n][i] = static_cast<uint8_t>(i);
        uint32_t s = 0x5A17C0DEu ^ (0x9E3779B9u * static_cast<uint32_t>(n + 1));
        for (int i = 255; i > 0; --i) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            const int j = static_cast<int>(s % static_cast<uint32_t>(i + 1));
            const uint8_t swap = t.forward[n][i];
            t.forward[n][i] = t.forward[n][j];
            t.forward[n][j] = swap;
        }
        for (int i = 0; i < 256; ++i)
            t.inverse[n][t.forward[n][i]] = static_cast<uint8_t>(i);
    }
    return t;
}

inline constexpr Tables kTables = MakeTables();

} // namespace scramble_detail

/// A fixed text in scrambled form, with the number of the table that restores it.
template <std::size_t N> struct ScrambledText
{
    std::array<uint8_t, N> bytes {};
    int table = 0;

    /// The plain text.
    QByteArray Text() const;
};

/// Gives `text` with every byte b replaced by entry b of table `table` (0 to 9); same length. Any other table
/// number gives the text unchanged.
QByteArray Unscramble(QByteArrayView text, int table);

/// The 32-byte key of the definition files: a fixed array restored through table 9.
std::array<uint8_t, 32> UnscrambleKey();

/// Scrambles a string literal at compile time for table `Table`.
template <int Table, std::size_t N> consteval ScrambledText<N - 1> Scramble(const char (&plain)[N])
{
    static_assert(Table >= 0 && Table <= 9);
    ScrambledText<N - 1> out {};
    out.table = Table;
    for (std::size_t i = 0; i + 1 < N; ++i)
        out.bytes[i] = scramble_detail::kTables.inverse[Table][static_cast<uint8_t>(plain[i])];
    return out;
}

template <std::size_t N> QByteArray ScrambledText<N>::Text() const
{
    return Unscramble(QByteArrayView(bytes.data(), static_cast<qsizetype>(N)), table);
}

} // namespace vesk
