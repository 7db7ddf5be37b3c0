#include "history/report_changes.h"

#include "lookup/report_texts.h"
#include "lookup/worksheet.h"

#include <QHash>
#include <QJsonObject>
#include <QSet>

namespace vesk {

namespace {

// The values of one label and subject, in report order, each with its key.
struct FieldGroup
{
    QString DisplayLabel;
    QString Label;
    QList<QString> Keys;
    QList<QString> Values;
};

QList<FieldGroup> Groups(const ReportFields& fields)
{
    QList<FieldGroup> groups;
    QHash<QString, qsizetype> index;
    for (const ReportField& field : fields) {
        const QString id = field.Label + u'\n' + field.Subject;
        auto at = index.find(id);
        if (at == index.end()) {
            at = index.insert(id, groups.size());
            groups.append(FieldGroup { field.DisplayLabel(), field.Label, {}, {} });
        }
        FieldGroup& group = groups[*at];
        group.Keys.append(FieldKey(field.Label, field.Value));
        group.Values.append(field.Value);
    }
    return groups;
}

// The values of `from` whose key `other` lacks.
QStringList Missing(const FieldGroup& from, const FieldGroup* other)
{
    QStringList values;
    for (qsizetype i = 0; i < from.Keys.size(); ++i) {
        if (other == nullptr || !other->Keys.contains(from.Keys[i]))
            values.append(from.Values[i]);
    }
    return values;
}

void CompareGroup(const FieldGroup* before, const FieldGroup* after, QList<FieldChange>& changes)
{
    const FieldGroup& named = after != nullptr ? *after : *before;
    const QStringList removed = before != nullptr ? Missing(*before, after) : QStringList();
    const QStringList added = after != nullptr ? Missing(*after, before) : QStringList();
    if (removed.size() == 1 && added.size() == 1 && !IsSetField(named.Label)) {
        changes.append(FieldChange { ChangeOp::Changed, named.DisplayLabel, removed.front(), added.front() });
        return;
    }
    for (const QString& value : removed)
        changes.append(FieldChange { ChangeOp::Removed, named.DisplayLabel, value, QString() });
    for (const QString& value : added)
        changes.append(FieldChange { ChangeOp::Added, named.DisplayLabel, QString(), value });
}

QString BoxRule(char16_t left, char16_t right)
{
    return QChar(left) + QString(64, QChar(texts::kSourceRule)) + QChar(right);
}

QString LocalMinute(const QDateTime& when)
{
    return when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace

QList<FieldChange> CompareFields(const ReportFields& before, const ReportFields& after)
{
    const QList<FieldGroup> old = Groups(before);
    const QList<FieldGroup> now = Groups(after);
    QHash<QString, qsizetype> oldIndex;
    for (qsizetype i = 0; i < old.size(); ++i)
        oldIndex.insert(old[i].DisplayLabel, i);

    QList<FieldChange> changes;
    QSet<QString> seen;
    for (const FieldGroup& group : now) {
        seen.insert(group.DisplayLabel);
        const auto at = oldIndex.constFind(group.DisplayLabel);
        CompareGroup(at == oldIndex.cend() ? nullptr : &old[*at], &group, changes);
    }
    for (const FieldGroup& group : old) {
        if (!seen.contains(group.DisplayLabel))
            CompareGroup(&group, nullptr, changes);
    }
    return changes;
}

QString ChangeOpName(ChangeOp op)
{
    switch (op) {
    case ChangeOp::Changed:
        return QStringLiteral("changed");
    case ChangeOp::Added:
        return QStringLiteral("added");
    case ChangeOp::Removed:
        return QStringLiteral("removed");
    }
    return QString();
}

QString ChangeLine(const FieldChange& change)
{
    // The operation padded to nine characters, so that the labels line up.
    QString head = ChangeOpName(change.Op).leftJustified(9, u' ') + change.Label + QStringLiteral(": ");
    switch (change.Op) {
    case ChangeOp::Changed:
        return head + change.Old + QStringLiteral(" -> ") + change.New;
    case ChangeOp::Added:
        return head + change.New;
    case ChangeOp::Removed:
        return head + change.Old;
    }
    return head;
}

QStringList ChangesSection(const QList<FieldChange>& changes, const QDateTime& previous)
{
    const QString since = LocalMinute(previous);
    if (changes.isEmpty())
        return { QStringLiteral("No changes since ") + since + u'.', QString() };
    // Boxed like the report's detail sections.
    QStringList lines {
        BoxRule(texts::kSourceTopLeft, texts::kSourceTopRight),
        Worksheet::CloseBoxLine(QChar(texts::kBoxSide) + QStringLiteral("  CHANGES SINCE ") + since),
        BoxRule(texts::kSourceBottomLeft, texts::kSourceBottomRight),
    };
    for (const FieldChange& change : changes)
        lines.append(ChangeLine(change));
    lines.append(QString());
    return lines;
}

QStringList NoEarlierReportSection(const QString& query)
{
    return { QStringLiteral("No earlier report of ") + query + u'.', QString() };
}

QJsonArray ChangesToJson(const QList<FieldChange>& changes)
{
    QJsonArray array;
    for (const FieldChange& change : changes) {
        const bool hasOld = change.Op != ChangeOp::Added;
        const bool hasNew = change.Op != ChangeOp::Removed;
        array.append(QJsonObject { { QStringLiteral("op"), ChangeOpName(change.Op) },
                                   { QStringLiteral("label"), change.Label },
                                   { QStringLiteral("old"), hasOld ? QJsonValue(change.Old) : QJsonValue() },
                                   { QStringLiteral("new"), hasNew ? QJsonValue(change.New) : QJsonValue() } });
    }
    return array;
}

} // namespace vesk
