/// The definition file format: the encrypted container and its rows.
#pragma once

#include "defs/scrambled_text.h"
#include "whois/definition_rows.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <array>
#include <stdexcept>
#include <vector>

namespace vesk {

/// The one error of the definition container. Its message is always "Invalid file format".
class ECipherException : public std::runtime_error
{
public:
    ECipherException();
};

using DefinitionKey = std::array<uint8_t, 32>;

/// Fixed local (and update-location) names of the definition files and their backups, kept scrambled.
/// Which of the two tables a definition file holds.
enum class TableKind : uint8_t { Tld, Servers };

inline constexpr auto kTldFileName = Scramble<8>("vesk1.def");
inline constexpr auto kHostMarkFileName = Scramble<3>("vesk2.def");
inline constexpr auto kTldBackupName = Scramble<8>("vesk1.bak");
inline constexpr auto kHostMarkBackupName = Scramble<3>("vesk2.bak");
/// Name of the version file at the update location: a comment line, then the day number of the definitions.
inline constexpr auto kVersionFileName = Scramble<3>("vesk-v.txt");

/// Plain bytes of a container: IV, CBC blocks of AES-256, final block carrying its byte count in byte 15.
/// Throws ECipherException when there is no final block (fewer than 32 bytes) or the final block's count is
/// above 15 (only a damaged file or a wrong key gives one). Bytes after the last whole block are ignored.
/// A wrong key otherwise gives meaningless bytes, not an error.
QByteArray DecryptDefinitionFile(QByteArrayView file, const DefinitionKey& key);

/// The writing direction: IV made by encrypting one block that holds `seed` (high byte first; 0 takes the
/// millisecond clock), then the full blocks and the final block.
QByteArray EncryptDefinitionFile(QByteArrayView plain, const DefinitionKey& key, uint16_t seed);

/// The largest plain text read from a definition file; bytes beyond it are ignored.
inline constexpr qsizetype kMaxPlainText = 65536;

/// Rows of a TLD file's plain text: at most kMaxPlainText bytes, up to the first NUL, one row per CR LF-ended
/// line (text after the last CR LF is dropped). Fields are split at '#' and trimmed; missing '#' leave the middle
/// fields empty and put the remainder in the last field.
QList<TTLDData> ParseTldRows(QByteArrayView plain);

/// The rows of a TLD file kept as its plain text, by the rules of ParseTldRows: the lines and their keys are
/// found once, and a row is cut into its fields only when it is asked for. A search reads one or two rows of
/// some 1,500, and cutting every row into fields was the largest part of the program's own work at each start.
class TldRowIndex
{
public:
    TldRowIndex() = default;
    explicit TldRowIndex(QByteArray plain);

    qsizetype Size() const { return static_cast<qsizetype>(m_lines.size()); }
    TTLDData Row(qsizetype i) const;
    /// The first row whose trimmed Tld field is `key`; the empty row when none is.
    TTLDData Find(QByteArrayView key) const;
    QList<TTLDData> Rows() const;

private:
    struct Line
    {
        qsizetype Start = 0;
        qsizetype Length = 0;
        qsizetype KeyStart = 0;
        qsizetype KeyLength = 0;
    };

    QByteArray m_text;
    std::vector<Line> m_lines;
};
/// Rows of a server file's plain text, by the same line rules; Kind last, 0 unless an integer 0 to 4.
QList<THostMark> ParseHostMarkRows(QByteArrayView plain);

} // namespace vesk
