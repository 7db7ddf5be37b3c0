/// Contact handles: the contacts a domain record names by handle.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace vesk {

/// One contact that a domain record names by handle, with every label under which the record names it.
struct ContactHandle
{
    QByteArray Handle;
    QList<QByteArray> Labels; ///< as written in the record, in order of appearance
};

/// The most contacts one report asks for; a record that names more is cut there, so a hostile reply cannot
/// start an endless run of queries.
inline constexpr qsizetype kMaxContactHandles = 10;

/// True for the values registries write where a record names no contact: empty, "-", "n/a", "none" (any case)
/// and anything made of punctuation only.
bool IsPlaceholderHandle(QByteArrayView value);

/// The distinct contact handles of a domain record, in order of appearance: lines labelled like "admin-c:",
/// "tech-c:", "zone-c:", "billing-c:", "holder-c:", or "Registrant ID:", "Admin ID:", "Tech ID:", "Billing ID:"
/// (also with "Registry " in front), label case ignored. Only real handles count (one word of letters, digits,
/// '-', '_' or '.', not a redaction notice, not a placeholder), handles are compared without regard to case, and a
/// handle whose object the record already holds (a "nic-hdl:" line) is left out. At most kMaxContactHandles.
QList<ContactHandle> FindContactHandles(QByteArrayView record);

} // namespace vesk
