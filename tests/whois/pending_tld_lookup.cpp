// Stand-in for the TLD lookup of the definition tables and the two text helpers the parsers use, only while the
// engine does not provide them yet (tests/whois/CMakeLists.txt drops this file once it does). Same rules: bytes
// <= 32 are trimmed, only A-Z are lowered, and the label after the last dot of the trimmed text must be a row.
#include "defs/net_data.h"
#include "whois/host_text.h"

namespace vesk {

QByteArray TrimText(QByteArrayView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32)
        --last;
    return text.sliced(first, last - first).toByteArray();
}

QByteArray LowerAscii(QByteArrayView text)
{
    QByteArray out = text.toByteArray();
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

TTLDData TDefinitions::FindTld(QByteArrayView tld) const
{
    if (tld.size() <= 1)
        return {};
    const QByteArray key = TrimText(LowerAscii(tld));
    for (const TTLDData& row : m_tlds) {
        if (row.Tld == key)
            return row;
    }
    return {};
}

bool TDefinitions::HasKnownTld(QByteArrayView text) const
{
    const QByteArray trimmed = TrimText(text);
    const qsizetype dot = trimmed.lastIndexOf('.');
    if (dot < 0)
        return false;
    return !FindTld(trimmed.mid(dot + 1)).Tld.isEmpty();
}

} // namespace vesk
