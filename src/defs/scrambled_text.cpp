#include "defs/scrambled_text.h"

namespace vesk {

namespace {

// The key of the definition files as it stands in the program: scrambled through table 9.
constexpr auto kScrambledKey = Scramble<9>("Vk#7q!Lm2@Zr9$Wx4^Tb8&Hn5*Pd1(Ge");
static_assert(kScrambledKey.bytes.size() == 32);

} // namespace

QByteArray Unscramble(QByteArrayView text, int table)
{
    // There are only ten tables; any other number must not read outside them.
    if (table < 0 || table > 9)
        return text.toByteArray();
    QByteArray out(text.size(), Qt::Uninitialized);
    const uint8_t* map = scramble_detail::kTables.forward[table];
    for (qsizetype i = 0; i < text.size(); ++i)
        out[i] = static_cast<char>(map[static_cast<uint8_t>(text[i])]);
    return out;
}

std::array<uint8_t, 32> UnscrambleKey()
{
    std::array<uint8_t, 32> key {};
    for (std::size_t i = 0; i < key.size(); ++i)
        key[i] = scramble_detail::kTables.forward[9][kScrambledKey.bytes[i]];
    return key;
}

} // namespace vesk
