/// The definition tables: top-level domains and server profiles, loaded from the definition files.
#pragma once

#include "defs/definition_file.h"
#include "whois/definition_rows.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>

namespace vesk {

/// The .com/.net registry's WHOIS server, under the two names it answers to; the first is the current one and
/// the default server of plain queries.
inline constexpr const char* kRegistryWhoisHosts[2] = { "whois.verisign-grs.com", "whois.crsnic.net" };

/// The two definition tables and the questions the lookup engine asks of them. Lookups return copies, so a
/// reload may replace the tables between any two lookups.
class DefinitionTables
{
public:
    /// The first row whose Tld equals `tld` lower-cased and trimmed; the empty row for a text of at most one
    /// character (before trimming) or an unknown key.
    TTLDData FindTld(QByteArrayView tld) const;
    /// The first profile whose Host equals `host` lower-cased and trimmed; the empty row for keys of at most
    /// three characters or unknown hosts.
    THostMark FindHostMark(QByteArrayView host) const;
    /// Both tables hold at least one row.
    bool DefinitionsLoaded() const;
    /// True for either name of the .com/.net registry's WHOIS server (trimmed, lower-cased).
    static bool IsRegistryServer(QByteArrayView host);
    /// False only when `host` (lower-cased, not trimmed) has a profile whose NoMatchMark occurs in `reply`.
    bool DomainFound(QByteArrayView host, QByteArrayView reply) const;
    /// True when the label after the last dot of `text` (trimmed) is a TLD of the table.
    bool HasKnownTld(QByteArrayView text) const;

    /// Replace the TLD table with the rows of the TLD definition file in `directory`. A missing file leaves the
    /// table empty. Throws ECipherException ("Invalid file format") for a damaged file, and std::runtime_error
    /// naming the file when an existing file cannot be read; the table is then empty, the other table untouched.
    void LoadTldTable(const QString& directory);
    /// The same for the server definition file and the profile table.
    void LoadHostMarks(const QString& directory);
    /// LoadTldTable, then LoadHostMarks. When the TLD load throws, the profile load does not run in that pass
    /// (the profile table keeps what it held) and the error propagates.
    void LoadAll(const QString& directory);

    /// The TLD table as if read from a file holding `rows` (trimmed fields, no '#' before the last field, no line
    /// breaks: what a definition file can hold).
    void SetTldRows(const QList<TTLDData>& rows);
    void SetHostMarks(QList<THostMark> rows) { m_hostMarks = std::move(rows); }
    QList<TTLDData> TldRows() const { return m_tlds.Rows(); }
    qsizetype TldCount() const { return m_tlds.Size(); }
    const QList<THostMark>& HostMarks() const { return m_hostMarks; }

private:
    TldRowIndex m_tlds;
    QList<THostMark> m_hostMarks;
};

} // namespace vesk
