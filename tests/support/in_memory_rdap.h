/// An RDAP transport without a network: scripted answers by URL, and the URLs asked in order.
#pragma once

#include "rdap/rdap_client.h"

#include <QHash>
#include <QStringList>

namespace vesk::test {

class InMemoryRdap : public RdapTransport
{
public:
    /// Answers `url` with `status`: a 200 gives `body`, any other status is an ExchangeFailure::HttpStatus.
    void Answer(const QString& url, const QByteArray& body, int status = 200)
    {
        RdapFetch fetch;
        fetch.Host = QUrl(url).host().toLatin1();
        fetch.HttpStatus = status;
        if (status == 200)
            fetch.Reply = body;
        else
            fetch.Failure = ExchangeFailure::HttpStatus;
        m_answers.insert(url, fetch);
    }
    /// Answers `url` with `fetch` as it is.
    void AnswerWith(const QString& url, const RdapFetch& fetch) { m_answers.insert(url, fetch); }

    /// URLs without an answer are refused.
    RdapFetch Fetch(const QUrl& url, HostSource, const StopRequest&) override
    {
        Asked.append(url.toString());
        RdapFetch fetch = m_answers.value(url.toString());
        if (!m_answers.contains(url.toString())) {
            fetch.Host = url.host().toLatin1();
            fetch.Failure = ExchangeFailure::Refused;
        }
        return fetch;
    }
    QStringList Asked;

private:
    QHash<QString, RdapFetch> m_answers;
};

} // namespace vesk::test
