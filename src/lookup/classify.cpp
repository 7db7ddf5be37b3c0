#include "lookup/classify.h"

#include "lookup/report_texts.h"
#include "whois/host_text.h"
#include "whois/ip_address.h"

#include <QString>

namespace vesk {

QueryTooLongError::QueryTooLongError(qsizetype length)
    : std::runtime_error(QString::asprintf(texts::kQueryTooLong, static_cast<int>(length)).toStdString())
{ }

bool IsIPAddress(QByteArrayView text)
{
    if (text.size() > kMaxQueryLength)
        throw QueryTooLongError(text.size());
    return ParseIPv4(text, IPv4Form::Typed) >= 0;
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
