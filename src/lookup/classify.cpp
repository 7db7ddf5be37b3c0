#include "lookup/classify.h"

#include "lookup/report_texts.h"
#include "whois/host_text.h"

#include <QString>

namespace vesk {

QueryTooLongError::QueryTooLongError(qsizetype length)
    : std::runtime_error(QString::asprintf(texts::kQueryTooLong, static_cast<int>(length)).toStdString())
{ }

bool IsIPAddress(QByteArrayView text)
{
    if (text.size() > kMaxQueryLength)
        throw QueryTooLongError(text.size());

    QByteArray packed;
    packed.reserve(text.size());
    for (const char c : text) {
        if (c != ' ')
            packed.append(c);
    }

    qsizetype dots[3] = { 0, 0, 0 };
    int dotCount = 0;
    for (qsizetype i = 0; i < packed.size(); ++i) {
        const char c = packed[i];
        if (c >= '0' && c <= '9')
            continue;
        if (c != '.')
            return false;
        if (dotCount == 3)
            return false;
        dots[dotCount++] = i + 1; // positions count from 1
    }
    if (dotCount != 3)
        return false;

    const qsizetype d1 = dots[0], d2 = dots[1], d3 = dots[2];
    if (d1 < 2 || d1 > 4 || d2 < d1 + 2 || d2 > d1 + 4 || d3 < d2 + 2 || d3 > d2 + 4 || d3 == packed.size())
        return false;

    const QByteArray runs[4]
        = { packed.mid(0, d1 - 1), packed.mid(d1, d2 - d1 - 1), packed.mid(d2, d3 - d2 - 1), packed.mid(d3) };
    for (const QByteArray& run : runs) {
        int32_t value = 0;
        if (!ToInt32(run, value) || value > 255)
            return false;
    }
    return true;
}

std::array<QByteArray, 4> SplitLabels(QByteArrayView text)
{
    std::array<QByteArray, 4> labels;
    QByteArray rest = TrimText(text);
    while (rest.endsWith('.'))
        rest.chop(1);
    while (rest.startsWith('.'))
        rest.remove(0, 1);

    int found = 0;
    while (found < 3) {
        const qsizetype dot = LastDotPos(rest);
        if (dot == 0)
            break;
        labels[static_cast<size_t>(found)] = rest.mid(dot);
        rest.truncate(dot - 1);
        ++found;
    }
    labels[static_cast<size_t>(found)] = rest;
    return labels;
}

QByteArray AddressText(uint32_t address)
{
    QByteArray text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.isEmpty())
            text.append('.');
        text.append(QByteArray::number((address >> shift) & 0xFFu));
    }
    return text;
}

QByteArray NormaliseDomainQuery(QByteArrayView text)
{
    std::array<QByteArray, 4> labels = SplitLabels(text);
    if (UpperAscii(labels[3]) == "WWW")
        labels[3].clear();
    else if (UpperAscii(labels[2]) == "WWW")
        labels[2].clear();

    QByteArray query = labels[1] + '.' + labels[0];
    if (!labels[2].isEmpty()) {
        query = labels[2] + '.' + query;
        if (!labels[3].isEmpty())
            query = labels[3] + '.' + query;
    }
    return query;
}

} // namespace vesk
