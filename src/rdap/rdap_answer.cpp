#include "rdap/rdap_answer.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace vesk {

namespace {

// The media type without parameters, lower-cased: "application/rdap+json; charset=utf-8" -> "application/rdap+json".
QString MediaType(const QString& type)
{
    return type.section(u';', 0, 0).trimmed().toLower();
}

QUrl HttpUrl(const QJsonObject& link)
{
    QUrl url(link.value(u"href").toString().trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"https" && scheme != u"http"))
        return QUrl();
    return url;
}

} // namespace

RdapAnswer ParseRdapAnswer(QByteArrayView body)
{
    RdapAnswer answer;
    if (body.size() > kMaxRdapAnswerBytes)
        return answer;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return answer;
    const QJsonObject object = document.object();

    const QJsonValue className = object.value(u"objectClassName");
    if (className.isString()) {
        const QString name = className.toString().trimmed().toLower();
        if (name == u"domain")
            answer.Kind = RdapAnswerKind::Domain;
        else if (name == u"ip network")
            answer.Kind = RdapAnswerKind::IpNetwork;
        else
            answer.Kind = RdapAnswerKind::OtherObject;
    } else if (object.contains(u"errorCode")) {
        answer.Kind = RdapAnswerKind::Error;
        const double code = object.value(u"errorCode").toDouble();
        if (code >= 100 && code <= 999 && code == static_cast<int>(code))
            answer.ErrorCode = static_cast<int>(code);
        answer.ErrorTitle = object.value(u"title").toString();
        for (const QJsonValue line : object.value(u"description").toArray()) {
            if (line.isString())
                answer.ErrorDescription.append(line.toString());
        }
    } else {
        return answer;
    }
    answer.Object = object;
    return answer;
}

QUrl PickRegistrarLink(const RdapAnswer& answer)
{
    if (answer.Kind != RdapAnswerKind::Domain)
        return QUrl();
    QUrl untypedDomainLink;
    for (const QJsonValue value : answer.Object.value(u"links").toArray()) {
        const QJsonObject link = value.toObject();
        if (link.value(u"rel").toString().trimmed().toLower() != u"related")
            continue;
        const QJsonValue type = link.value(u"type");
        if (type.isString() && !type.toString().trimmed().isEmpty()) {
            if (MediaType(type.toString()) == u"application/rdap+json") {
                QUrl url = HttpUrl(link);
                if (url.isValid())
                    return url;
            }
            continue;
        }
        const QUrl url = HttpUrl(link);
        if (untypedDomainLink.isEmpty() && url.isValid() && url.path().contains(u"/domain/", Qt::CaseInsensitive))
            untypedDomainLink = url;
    }
    // Links typed otherwise (a web page about the registrar) say nothing about the untyped one.
    return untypedDomainLink;
}

} // namespace vesk
