#pragma once

// Literal models of the repeated-deletion operations of the reply parsers: remove the first occurrence, search
// again from the start. Quadratic, but plainly right; the single-pass versions in the engine must match them on
// every input. Shared by the tests and the fuzzers.

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>

namespace vesk::model {

inline QByteArray Trim(QByteArray text)
{
    while (!text.isEmpty() && static_cast<unsigned char>(text.front()) <= 32)
        text.remove(0, 1);
    while (!text.isEmpty() && static_cast<unsigned char>(text.back()) <= 32)
        text.chop(1);
    return text;
}

inline QByteArray NormaliseLineBreaks(QByteArray text)
{
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    text.replace("\n", "\r\n");
    return text;
}

inline QByteArray RemovePrefixedLines(QByteArrayView text, QByteArrayView prefix)
{
    QByteArray work = NormaliseLineBreaks(QByteArray("\r\n") + text.toByteArray());
    const QByteArray marker = QByteArray("\r\n") + prefix.toByteArray();
    for (qsizetype p = work.indexOf(marker); p >= 0; p = work.indexOf(marker)) {
        qsizetype cr = work.indexOf('\r', p + 2);
        if (cr < 0)
            cr = work.size();
        work.remove(p, cr - p);
    }
    if (work.startsWith('\r'))
        work.remove(0, 2);
    return Trim(work);
}

inline QByteArray RemoveAll(QByteArrayView text, QByteArrayView token)
{
    QByteArray work = text.toByteArray();
    if (token.isEmpty())
        return work;
    for (qsizetype p = work.indexOf(token); p >= 0; p = work.indexOf(token))
        work.remove(p, token.size());
    return work;
}

inline QByteArray FilterArinComments(QByteArrayView reply)
{
    QByteArray work = RemovePrefixedLines(reply, "#");
    for (qsizetype p = work.indexOf("Comment: "); p >= 0; p = work.indexOf("Comment: ")) {
        const qsizetype lf = work.indexOf('\n', p);
        work.remove(p, lf < 0 ? work.size() - p : lf + 1 - p);
    }
    return work;
}

inline QByteArray PickNetHandle(QByteArrayView reply)
{
    if (reply.contains("OrgName:"))
        return {};
    QByteArray work = reply.toByteArray();
    QByteArray handle;
    // IPv4 networks have "NET-" handles, IPv6 networks "NET6-" ones: the first of either.
    const auto next = [&work] {
        const qsizetype four = work.indexOf("(NET-");
        const qsizetype six = work.indexOf("(NET6-");
        return four < 0 ? six : six < 0 ? four : std::min(four, six);
    };
    for (qsizetype p = next(); p >= 0; p = next()) {
        qsizetype close = work.indexOf(')', p + 1);
        if (close < 0)
            close = work.size();
        handle = work.mid(p + 1, close - p - 1);
        work.remove(p + 1, handle.size());
    }
    return handle;
}

} // namespace vesk::model
