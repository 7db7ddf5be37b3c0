#pragma once

#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// A small JSONPath evaluator over QJsonValue for the paths RDAP servers write into "redacted" entries: member
// steps (.name, ['name']), indexes (negative from the end), slices [a:b], wildcards, and filters comparing one
// relative path with a literal ([?(@.roles[0]=='registrant')], [?(@[1].type=='voice')]). Anything else, recursive
// descent and script expressions included, does not parse.

namespace vesk {

struct JsonPathStep
{
    enum class Kind { Member, Index, Slice, Wildcard, Filter };
    Kind Type = Kind::Member;
    QString Member;
    qsizetype Index = 0; ///< Index; the slice's start
    std::optional<qsizetype> End; ///< Slice: the end (exclusive); none = to the end
    QList<JsonPathStep> FilterPath; ///< Filter: the path relative to "@" (no filters inside)
    bool FilterEquals = true; ///< Filter: "==" (else "!=")
    QJsonValue FilterLiteral; ///< Filter: a string, number, boolean or null
};

using JsonPath = QList<JsonPathStep>;

/// One step of a match's location: a member name, or an index when `Member` is null.
struct JsonPathKey
{
    QString Member;
    qsizetype Index = -1;
    bool operator==(const JsonPathKey&) const = default;
};

struct JsonPathMatch
{
    QJsonValue Value;
    QList<JsonPathKey> Location;
};

/// `text` ("$" followed by steps) as steps; none when it is no path of the supported forms.
std::optional<JsonPath> ParseJsonPath(QStringView text);

/// A path selecting every element of a 100,000-element array costs no more than this many matches per step.
constexpr qsizetype kMaxJsonPathMatches = 1024;
/// One evaluation visits at most this many values, filters included, so an answer built to be slow to search is
/// searched only partly.
constexpr qsizetype kMaxJsonPathVisits = 20000;

/// The values `path`'s first `count` steps (all when negative) select in `root`, in document order, with their
/// locations. A filter whose relative path selects nothing, or compares values of different types, fails; a
/// relative path that ends on an array matches when any of its elements equals the literal (servers write "type"
/// as a string or as an array of strings). At most kMaxJsonPathMatches matches and kMaxJsonPathVisits visits.
QList<JsonPathMatch> EvaluateJsonPath(const QJsonValue& root, const JsonPath& path, qsizetype count = -1);

/// The longest beginning of a path that selects something: how many steps, and what they select.
struct JsonPathPrefix
{
    qsizetype Steps = 0;
    QList<JsonPathMatch> Matches; ///< for 0 steps, the root itself
};

/// The longest beginning of `path` that selects something in `root`, within one evaluation's limits.
JsonPathPrefix LongestJsonPathPrefix(const QJsonValue& root, const JsonPath& path);

} // namespace vesk
