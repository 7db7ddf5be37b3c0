/// Definition rows: a top-level domain and a server profile, as the reply parsers read them.
#pragma once

#include <QByteArray>
#include <cstdint>

// The rows of the two definition tables: a top-level domain and a server profile. They live below the
// definition tables because the reply parsers read a profile's marks.

namespace vesk {

/// One row of the TLD table.
struct TTLDData
{
    QByteArray Tld; ///< the label without its dot, lower case (the lookup key)
    QByteArray Description;
    QByteArray Server; ///< host of the responsible WHOIS server; may be empty
};

/// One server profile: how to ask a WHOIS server and how to cut and judge its reply.
struct THostMark
{
    QByteArray Host; ///< lower case (the lookup key)
    int32_t Kind = 0; ///< 0 to 4; 1 = a regional registry whose reply replaces ARIN's
    QByteArray StartMark; ///< "3CRLF" stands for three consecutive line breaks
    QByteArray EndMark;
    QByteArray NoMatchMark;
    QByteArray QueryPrefix;
    QByteArray QuerySuffix;
};

} // namespace vesk
