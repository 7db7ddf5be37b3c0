// Stand-in for the TLD lookup of the definition tables, used only while the engine does not provide it yet
// (tests/whois/CMakeLists.txt drops this file once it does). Same rules: the label after the last dot of the
// trimmed text, lower-cased, must be a row of the table.
#include "defs/net_data.h"

namespace vesk {

TTLDData TDefinitions::FindTld(QByteArrayView tld) const
{
    if (tld.size() <= 1)
        return {};
    const QByteArray key = tld.trimmed().toByteArray().toLower();
    for (const TTLDData& row : m_tlds) {
        if (row.Tld == key)
            return row;
    }
    return {};
}

bool TDefinitions::HasKnownTld(QByteArrayView text) const
{
    const QByteArrayView trimmed = text.trimmed();
    const qsizetype dot = trimmed.lastIndexOf('.');
    if (dot < 0)
        return false;
    return !FindTld(trimmed.sliced(dot + 1)).Tld.isEmpty();
}

} // namespace vesk
