#include "lookup/contact_handles.h"

#include "whois/host_text.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace vesk {

namespace {

constexpr qsizetype kMaxHandleLength = 64;

// How many distinct handles are gathered before those the record holds itself are dropped. Far more than any real
// record names, so the handles asked are the same as without a bound; a flood of handles stops growing here.
constexpr qsizetype kMaxCollectedHandles = 1000;

// Each label is kept as written; a record that spells them in many ways adds nothing after this many.
constexpr qsizetype kMaxLabelsPerHandle = 32;

// Labels (lower case, without the colon) under which domain records name their contacts by handle.
constexpr const char* kContactLabels[] = {
    "holder-c",
    "registrant-c",
    "admin-c",
    "tech-c",
    "zone-c",
    "billing-c",
    "registrant id",
    "admin id",
    "tech id",
    "billing id",
    "registry registrant id",
    "registry admin id",
    "registry tech id",
    "registry billing id",
};

bool IsContactLabel(const QByteArray& lowerLabel)
{
    for (const char* label : kContactLabels) {
        if (lowerLabel == label)
            return true;
    }
    return false;
}

// One word of handle characters, and not one of the notices registries put where a handle is withheld.
bool IsRealHandle(const QByteArray& value)
{
    if (IsPlaceholderHandle(value) || value.size() > kMaxHandleLength)
        return false;
    for (const char c : value) {
        const bool word = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '_' || c == '.';
        if (!word)
            return false;
    }
    return !LowerAscii(value).contains("redacted");
}

} // namespace

bool IsPlaceholderHandle(QByteArrayView value)
{
    const QByteArray text = LowerAscii(TrimText(value));
    if (text == "n/a" || text == "none")
        return true;
    // Empty, or nothing but punctuation ("-", "--", "."): no object is named.
    return std::none_of(text.cbegin(), text.cend(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || static_cast<unsigned char>(c) >= 0x80;
    });
}

QList<ContactHandle> FindContactHandles(QByteArrayView record)
{
    QList<ContactHandle> found;
    QHash<QByteArray, qsizetype> foundAt; // lower-case handle -> its place in `found`
    QSet<QByteArray> present; // handles of objects the record holds itself, lower case

    const QList<QByteArray> lines = record.toByteArray().replace('\r', '\n').split('\n');
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray label = TrimText(QByteArrayView(line).first(colon));
        const QByteArray lowerLabel = LowerAscii(label);
        const QByteArray value = TrimText(QByteArrayView(line).sliced(colon + 1));
        if (lowerLabel == "nic-hdl") {
            present.insert(LowerAscii(value));
            continue;
        }
        if (!IsContactLabel(lowerLabel) || !IsRealHandle(value))
            continue;
        const QByteArray key = LowerAscii(value);
        const auto same = foundAt.constFind(key);
        if (same != foundAt.constEnd()) {
            QList<QByteArray>& labels = found[same.value()].Labels;
            if (labels.size() < kMaxLabelsPerHandle && !labels.contains(label))
                labels.append(label);
        } else if (found.size() < kMaxCollectedHandles) {
            foundAt.insert(key, found.size());
            found.append(ContactHandle { value, { label } });
        }
    }

    found.removeIf([&present](const ContactHandle& c) { return present.contains(LowerAscii(c.Handle)); });
    if (found.size() > kMaxContactHandles)
        found.resize(kMaxContactHandles);
    return found;
}

} // namespace vesk
