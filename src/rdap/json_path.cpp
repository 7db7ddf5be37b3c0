#include "rdap/json_path.h"

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>

namespace vesk {

namespace {

// Paths come from untrusted answers; a sane path is a few dozen characters.
constexpr qsizetype kMaxPathChars = 1024;

class PathParser
{
public:
    explicit PathParser(QStringView text)
        : m_text(text)
    { }

    std::optional<JsonPath> Parse()
    {
        if (m_text.size() > kMaxPathChars)
            return std::nullopt;
        SkipBlanks();
        if (!Take(u'$'))
            return std::nullopt;
        JsonPath path;
        if (!Steps(path, true))
            return std::nullopt;
        SkipBlanks();
        if (m_at != m_text.size())
            return std::nullopt;
        return path;
    }

private:
    bool AtEnd() const { return m_at >= m_text.size(); }
    QChar Peek() const { return AtEnd() ? QChar() : m_text.at(m_at); }
    bool Take(QChar c)
    {
        if (Peek() != c)
            return false;
        ++m_at;
        return true;
    }
    void SkipBlanks()
    {
        while (!AtEnd() && Peek().isSpace())
            ++m_at;
    }

    // Steps until something that is no step; filters only where `filtersAllowed`.
    bool Steps(JsonPath& path, bool filtersAllowed)
    {
        for (;;) {
            if (Take(u'.')) {
                if (Peek() == u'.')
                    return false; // recursive descent
                JsonPathStep step;
                if (Take(u'*')) {
                    step.Type = JsonPathStep::Kind::Wildcard;
                } else {
                    const qsizetype start = m_at;
                    while (!AtEnd() && (Peek().isLetterOrNumber() || Peek() == u'_' || Peek() == u'-'))
                        ++m_at;
                    if (m_at == start)
                        return false;
                    step.Member = m_text.mid(start, m_at - start).toString();
                }
                path.append(step);
            } else if (Peek() == u'[') {
                ++m_at;
                JsonPathStep step;
                if (!Bracket(step, filtersAllowed))
                    return false;
                path.append(step);
            } else {
                return true;
            }
        }
    }

    bool Bracket(JsonPathStep& step, bool filtersAllowed)
    {
        SkipBlanks();
        if (Take(u'*')) {
            step.Type = JsonPathStep::Kind::Wildcard;
        } else if (Peek() == u'\'' || Peek() == u'"') {
            QJsonValue name;
            if (!Quoted(name))
                return false;
            step.Member = name.toString();
        } else if (Take(u'?')) {
            if (!filtersAllowed || !Filter(step))
                return false;
        } else {
            std::optional<qsizetype> first = Integer();
            SkipBlanks();
            if (Take(u':')) {
                step.Type = JsonPathStep::Kind::Slice;
                step.Index = first.value_or(0);
                SkipBlanks();
                step.End = Integer();
            } else {
                if (!first)
                    return false;
                step.Type = JsonPathStep::Kind::Index;
                step.Index = *first;
            }
        }
        SkipBlanks();
        return Take(u']');
    }

    // "?(@... == literal)" or, without the parentheses, "?@... == literal".
    bool Filter(JsonPathStep& step)
    {
        step.Type = JsonPathStep::Kind::Filter;
        SkipBlanks();
        const bool parenthesised = Take(u'(');
        SkipBlanks();
        if (!Take(u'@') || !Steps(step.FilterPath, false))
            return false;
        SkipBlanks();
        if (Take(u'=')) {
            step.FilterEquals = true;
        } else if (Take(u'!')) {
            step.FilterEquals = false;
        } else {
            return false;
        }
        if (!Take(u'='))
            return false;
        SkipBlanks();
        if (!Literal(step.FilterLiteral))
            return false;
        SkipBlanks();
        return !parenthesised || Take(u')');
    }

    bool Literal(QJsonValue& value)
    {
        if (Peek() == u'\'' || Peek() == u'"')
            return Quoted(value);
        for (const auto& [word, literal] :
             { std::pair { u"true", QJsonValue(true) }, std::pair { u"false", QJsonValue(false) },
               std::pair { u"null", QJsonValue(QJsonValue::Null) } }) {
            if (m_text.mid(m_at).startsWith(QStringView(word))) {
                m_at += QStringView(word).size();
                value = literal;
                return true;
            }
        }
        const std::optional<qsizetype> number = Integer();
        if (!number)
            return false;
        value = QJsonValue(static_cast<double>(*number));
        return true;
    }

    bool Quoted(QJsonValue& value)
    {
        const QChar quote = m_text.at(m_at++);
        QString text;
        while (!AtEnd() && Peek() != quote) {
            if (Peek() == u'\\') {
                ++m_at;
                if (AtEnd())
                    return false;
            }
            text.append(m_text.at(m_at++));
        }
        if (!Take(quote))
            return false;
        value = text;
        return true;
    }

    std::optional<qsizetype> Integer()
    {
        const qsizetype start = m_at;
        Take(u'-');
        const qsizetype digits = m_at;
        while (!AtEnd() && Peek() >= u'0' && Peek() <= u'9')
            ++m_at;
        if (m_at == digits || m_at - digits > 9) {
            m_at = start;
            return std::nullopt;
        }
        return m_text.mid(start, m_at - start).toLongLong();
    }

    QStringView m_text;
    qsizetype m_at = 0;
};

bool SameValue(const QJsonValue& a, const QJsonValue& b)
{
    if (a.type() != b.type())
        return false;
    return a == b;
}

// What one evaluation may still visit; shared by the filters' own evaluations.
struct Budget
{
    qsizetype Left = kMaxJsonPathVisits;
    bool Spend()
    {
        if (Left <= 0)
            return false;
        --Left;
        return true;
    }
};

void Children(const JsonPathMatch& from, const JsonPathStep& step, QList<JsonPathMatch>& out, Budget& budget);

QList<JsonPathMatch> Evaluate(const QJsonValue& root, const JsonPath& path, qsizetype count, Budget& budget)
{
    const qsizetype steps = count < 0 ? path.size() : std::min(count, path.size());
    QList<JsonPathMatch> matches { JsonPathMatch { root, {} } };
    for (qsizetype s = 0; s < steps && !matches.isEmpty(); ++s) {
        QList<JsonPathMatch> next;
        for (const JsonPathMatch& match : matches)
            Children(match, path.at(s), next, budget);
        matches = std::move(next);
    }
    return matches;
}

// The value a filter's relative path reaches from `node` (the first, should it select several); undefined when it
// selects nothing.
QJsonValue Relative(const QJsonValue& node, const JsonPath& path, Budget& budget)
{
    const QList<JsonPathMatch> matches = Evaluate(node, path, -1, budget);
    return matches.isEmpty() ? QJsonValue(QJsonValue::Undefined) : matches.front().Value;
}

bool FilterHolds(const QJsonValue& node, const JsonPathStep& filter, Budget& budget)
{
    const QJsonValue value = Relative(node, filter.FilterPath, budget);
    if (value.isUndefined())
        return false;
    bool equal = SameValue(value, filter.FilterLiteral);
    if (!equal && value.isArray()) {
        for (const QJsonValue item : value.toArray())
            equal = equal || SameValue(item, filter.FilterLiteral);
    }
    return equal == filter.FilterEquals;
}

void Children(const JsonPathMatch& from, const JsonPathStep& step, QList<JsonPathMatch>& out, Budget& budget)
{
    const auto add = [&](const QJsonValue& value, JsonPathKey key) {
        if (out.size() >= kMaxJsonPathMatches)
            return;
        JsonPathMatch match { value, from.Location };
        match.Location.append(std::move(key));
        out.append(std::move(match));
    };
    const auto index = [](qsizetype i, qsizetype size) { return i < 0 ? i + size : i; };
    if (from.Value.isObject()) {
        const QJsonObject object = from.Value.toObject();
        if (step.Type == JsonPathStep::Kind::Member) {
            if (object.contains(step.Member) && budget.Spend())
                add(object.value(step.Member), { step.Member, -1 });
        } else if (step.Type == JsonPathStep::Kind::Wildcard || step.Type == JsonPathStep::Kind::Filter) {
            for (auto it = object.begin(); it != object.end() && budget.Spend(); ++it) {
                if (step.Type == JsonPathStep::Kind::Wildcard || FilterHolds(it.value(), step, budget))
                    add(it.value(), { it.key(), -1 });
            }
        }
        return;
    }
    if (!from.Value.isArray())
        return;
    const QJsonArray array = from.Value.toArray();
    const qsizetype size = array.size();
    switch (step.Type) {
    case JsonPathStep::Kind::Member:
        return;
    case JsonPathStep::Kind::Index: {
        const qsizetype i = index(step.Index, size);
        if (i >= 0 && i < size && budget.Spend())
            add(array.at(i), { QString(), i });
        return;
    }
    case JsonPathStep::Kind::Slice: {
        const qsizetype begin = std::clamp<qsizetype>(index(step.Index, size), 0, size);
        const qsizetype end = std::clamp<qsizetype>(step.End ? index(*step.End, size) : size, 0, size);
        for (qsizetype i = begin; i < end && budget.Spend(); ++i)
            add(array.at(i), { QString(), i });
        return;
    }
    case JsonPathStep::Kind::Wildcard:
    case JsonPathStep::Kind::Filter:
        for (qsizetype i = 0; i < size && budget.Spend(); ++i) {
            if (step.Type == JsonPathStep::Kind::Wildcard || FilterHolds(array.at(i), step, budget))
                add(array.at(i), { QString(), i });
        }
        return;
    }
}

} // namespace

std::optional<JsonPath> ParseJsonPath(QStringView text)
{
    return PathParser(text).Parse();
}

QList<JsonPathMatch> EvaluateJsonPath(const QJsonValue& root, const JsonPath& path, qsizetype count)
{
    Budget budget;
    return Evaluate(root, path, count, budget);
}

JsonPathPrefix LongestJsonPathPrefix(const QJsonValue& root, const JsonPath& path)
{
    Budget budget;
    JsonPathPrefix prefix { 0, { JsonPathMatch { root, {} } } };
    for (const JsonPathStep& step : path) {
        QList<JsonPathMatch> next;
        for (const JsonPathMatch& match : prefix.Matches)
            Children(match, step, next, budget);
        if (next.isEmpty())
            break;
        prefix.Matches = std::move(next);
        ++prefix.Steps;
    }
    return prefix;
}

} // namespace vesk
