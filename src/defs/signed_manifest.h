/// Signed definition sets: the manifest of a published set and its Ed25519 signature.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

namespace vesk {

/// Names of the manifest and its signature at the update location, beside the files they cover.
inline constexpr char kManifestFileName[] = "defs.manifest";
inline constexpr char kManifestSignatureFileName[] = "defs.manifest.sig";

/// The largest manifest and signature that are read; a set names a handful of files.
inline constexpr qint64 kMaxManifestSize = qint64 { 64 } * 1024;
inline constexpr qint64 kMaxSignatureSize = 1024;

/// One published file as the manifest names it.
struct ManifestEntry
{
    QByteArray Name; ///< a plain file name: no folder, no blank
    qint64 Size = 0;
    QByteArray Sha256; ///< the 32-byte digest
};

/// What a signed manifest says: the files of a set and the set's version (a day number).
struct SetManifest
{
    int Version = 0;
    QList<ManifestEntry> Files;

    /// The entry for `name`, or null.
    const ManifestEntry* Find(QByteArrayView name) const;
};

/// The SHA-256 digest of `bytes` (32 bytes).
QByteArray Sha256(QByteArrayView bytes);

/// True when `bytes` are what `entry` names: the same size and SHA-256.
bool MatchesEntry(const ManifestEntry& entry, QByteArrayView bytes);

/// The manifest's text: one line "NAME SIZE SHA256" (hexadecimal, lower case) per file, then "version DAY";
/// lines end in LF.
QByteArray FormatManifest(const SetManifest& manifest);

/// Reads a manifest written by FormatManifest. Strict, since it is only ever read after its signature has been
/// checked: nullopt for any other line, a name given twice, or a missing or repeated version line.
std::optional<SetManifest> ParseManifest(QByteArrayView text);

/// Signs `message` with the Ed25519 private key `privateKeyPem` (PEM, as `openssl genpkey -algorithm ed25519`
/// writes it). Throws std::runtime_error saying why when the key cannot be read or is not an Ed25519 key.
QByteArray SignManifest(QByteArrayView message, QByteArrayView privateKeyPem);

/// The public half (PEM) of the Ed25519 private key `privateKeyPem`; empty when it cannot be read.
QByteArray PublicKeyOf(QByteArrayView privateKeyPem);

/// True when `signature` is an Ed25519 signature of `message` by one of `publicKeysPem` (PEM public keys;
/// unreadable ones and keys of other kinds are skipped).
bool SignedByOneOf(QByteArrayView message, QByteArrayView signature, const QList<QByteArray>& publicKeysPem);

/// The public keys of the project's release keys, compiled in; the update trusts a set signed by any of them (a
/// list, so a key can be rotated).
QList<QByteArray> ReleaseKeys();

} // namespace vesk
