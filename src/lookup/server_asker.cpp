#include "lookup/server_asker.h"

#include "codecs/utf8_decoder.h"
#include "common/event_wait.h"
#include "lookup/exchange_observer.h"
#include "lookup/frontend.h"
#include "lookup/rdap_source.h"
#include "lookup/report_texts.h"
#include "lookup/status_at_exit.h"
#include "lookup/worksheet.h"
#include "rdap/rdap_answer.h"
#include "rdap/rdap_client.h"
#include "whois/host_text.h"
#include "whois/ip_address.h"
#include "whois/rate_limit_reply.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QUrl>
#include <algorithm>
#include <limits>

namespace vesk {

namespace {

// The most addresses a report lists; a name with more lists its first ones.
constexpr qsizetype kMaxAddresses = 100;

constexpr int kHttpNotFound = 404;

} // namespace

ServerAsker::ServerAsker(Frontend& frontend, Worksheet& sheet, WhoisTransport& transport, RdapSource* rdap,
                         EventWait& wait, const SearchOptions& options)
    : m_frontend(frontend)
    , m_sheet(sheet)
    , m_transport(transport)
    , m_rdap(rdap)
    , m_wait(wait)
    , m_options(options)
{
    m_steady.start();
}

void ServerAsker::BeginSearch()
{
    m_stop.Clear();
    m_stopMet = false;
    m_stopped = false;
    m_anyAnswered = false;
    m_replyBytes = 0;
    m_startedMs = SteadyNow();
    m_searching = true;
}

void ServerAsker::EndSearch()
{
    m_stop.Request();
    m_searching = false;
}

void ServerAsker::RequestStop()
{
    if (m_stop.IsRequested())
        return;
    m_stop.Request();
    if (m_searching)
        m_stopped = true;
    Announce(QByteArray(texts::kStatusStopping));
}

void ServerAsker::Announce(const QByteArray& status)
{
    m_sheet.SetStatus(status);
    m_frontend.ProcessPendingEvents();
}

ServerAnswer ServerAsker::Ask(const QByteArray& host, const QByteArray& query, int port, Pause pause, HostSource source)
{
    StatusAtExit blank(m_sheet, QByteArray());
    ServerAnswer answer;
    answer.Host = host;
    ExchangeEntry entry;
    entry.Host = host;
    entry.Port = port;
    entry.Request = query;
    if (!ReadyToAsk(answer, texts::FormatText(texts::kStatusConnecting, { host, QByteArray::number(port), query }),
                    pause)) {
        TellSkipped(std::move(entry), answer);
        return answer;
    }

    QElapsedTimer elapsed;
    elapsed.start();
    static_cast<ExchangeResult&>(answer) = m_transport.Exchange(host, port, query, source, m_stop);
    m_replyBytes += answer.Reply.size();
    if (m_options.Observer != nullptr) {
        const bool limited = IsRateLimitedReply(answer.Host, answer.Reply);
        entry.Answered = !limited && (!answer.Reply.isEmpty() || answer.Failure == ExchangeFailure::None);
        if (limited && answer.Failure == ExchangeFailure::None)
            entry.Outcome = "rate-limited";
        answer.Exchange = TellExchange(std::move(entry), answer, elapsed.elapsed());
    }
    // A server answered when it sent something or closed in order; a reply cut short still came from a server.
    Record(answer, !answer.Reply.isEmpty() || answer.Failure == ExchangeFailure::None);
    return answer;
}

ServerAnswer ServerAsker::AskRdap(const QUrl& url, HostSource source, bool notFoundIsNoMatch,
                                  const std::function<bool(const RdapAnswer&)>& usable, RdapAnswer& parsed)
{
    StatusAtExit blank(m_sheet, QByteArray());
    ServerAnswer answer;
    answer.Host = url.host().toLatin1().toLower();
    // Paced like port 43 in a batch; alone, RDAP servers get no fixed pause.
    const QByteArray status
        = texts::FormatText(texts::kStatusConnecting,
                            { answer.Host, QByteArray::number(url.port(url.scheme() == u"http" ? 80 : 443)),
                              url.path(QUrl::FullyEncoded).toLatin1() });
    ExchangeEntry entry;
    entry.Protocol = "rdap";
    entry.Host = answer.Host;
    entry.Url = url.toEncoded();
    entry.Request = "GET " + entry.Url;
    if (!ReadyToAsk(answer, status, Pause::No)) {
        TellSkipped(std::move(entry), answer);
        return answer;
    }

    QElapsedTimer elapsed;
    elapsed.start();
    RdapTransport* transport = m_rdap != nullptr ? m_rdap->Transport() : nullptr;
    RdapFetch fetch;
    if (transport != nullptr)
        fetch = transport->Fetch(url, source, m_stop);
    else
        fetch.Failure = ExchangeFailure::Unreachable;
    static_cast<ExchangeResult&>(answer) = fetch;
    m_replyBytes += answer.Reply.size();
    answer.Host = fetch.Host.isEmpty() ? answer.Host : fetch.Host;
    parsed = RdapAnswer();
    if (answer.Failure == ExchangeFailure::None) {
        parsed = ParseRdapAnswer(answer.Reply);
        if (!usable(parsed))
            answer.Failure = ExchangeFailure::BadRdap;
    }
    // For the search, only a usable record or the first server's "no such domain" is an answer: an error status or
    // a body that is no RDAP tells nothing about the query. The exchange itself still shows that a server spoke.
    const bool noMatch
        = notFoundIsNoMatch && answer.Failure == ExchangeFailure::HttpStatus && answer.HttpStatus == kHttpNotFound;
    const bool answered = answer.Failure == ExchangeFailure::None || noMatch;
    if (m_options.Observer != nullptr) {
        entry.Host = answer.Host;
        if (!parsed.Object.isEmpty())
            entry.Answer = QJsonDocument(parsed.Object).toJson(QJsonDocument::Compact);
        // Any HTTP status came from a server; a 429 that stayed one is a refusal, not an answer.
        entry.Answered = answer.HttpStatus != 0 && answer.Failure != ExchangeFailure::RateLimited;
        if (noMatch)
            entry.Outcome = "no-match";
        answer.Exchange = TellExchange(std::move(entry), answer, elapsed.elapsed());
    }
    Record(answer, answered);
    return answer;
}

const RdapBootstrap* ServerAsker::RdapBootstrapNow()
{
    if (m_rdap == nullptr || m_options.Rdap == RdapUse::Never)
        return nullptr;
    return m_rdap->Bootstrap();
}

const RdapBootstrap* ServerAsker::RegistryBootstrap()
{
    return m_rdap == nullptr ? nullptr : m_rdap->Bootstrap();
}

bool ServerAsker::ReadyToAsk(ServerAnswer& answer, const QByteArray& status, Pause pause)
{
    // A stop is looked at before and after the window handles its events and the pause, so a stop that came
    // between two queries is met by the next one; only that one reports it.
    const auto metStop = [this, &answer] {
        if (!m_stop.IsRequested())
            return false;
        answer.Failure = ExchangeFailure::Stopped;
        answer.Silent = m_stopMet;
        m_stopMet = true;
        return true;
    };
    // A search past one of its limits skips what is left without a pause.
    const auto metLimit = [this, &answer] {
        answer.Failure = LimitReached();
        return answer.Failure != ExchangeFailure::None;
    };
    if (metStop() || metLimit())
        return false;
    Announce(status);
    if (m_options.Pacer != nullptr)
        m_options.Pacer->WaitTurn(answer.Host, m_stop);
    else if (pause == Pause::Yes)
        m_wait.WaitUntil(m_options.PauseMilliseconds, {}, m_stop);
    return !metStop() && !metLimit();
}

ExchangeFailure ServerAsker::LimitReached() const
{
    if (!m_searching)
        return ExchangeFailure::None;
    if (m_replyBytes >= m_options.ReplyBudgetBytes)
        return ExchangeFailure::Budget;
    if (SteadyNow() - m_startedMs >= m_options.DeadlineMilliseconds)
        return ExchangeFailure::Deadline;
    return ExchangeFailure::None;
}

qint64 ServerAsker::SteadyNow() const
{
    return m_options.SteadyClock ? m_options.SteadyClock() : m_steady.elapsed();
}

void ServerAsker::TellSkipped(ExchangeEntry entry, ServerAnswer& answer)
{
    // A stop is the user's own doing and needs no entry; a limit is the search's, and a script should see it.
    if (answer.Failure != ExchangeFailure::Budget && answer.Failure != ExchangeFailure::Deadline)
        return;
    answer.Exchange = TellExchange(std::move(entry), answer, 0);
}

void ServerAsker::Record(const ServerAnswer& answer, bool answered)
{
    if (answered)
        m_anyAnswered = true;
    if (answer.Failure == ExchangeFailure::Stopped)
        m_stopMet = true;
}

int ServerAsker::TellExchange(ExchangeEntry entry, const ExchangeResult& result, qint64 elapsedMs)
{
    if (m_options.Observer == nullptr)
        return -1;
    entry.Host = LowerAscii(entry.Host);
    entry.ElapsedMs = elapsedMs;
    entry.BytesReceived = result.Reply.size();
    if (entry.Outcome.isEmpty() && result.Failure == ExchangeFailure::None) {
        entry.Outcome = "answered";
    } else if (entry.Outcome.isEmpty()) {
        entry.Outcome = texts::FailureToken(result);
        entry.FailureText = QString::fromUtf8(texts::FailureText(result));
    }
    return m_options.Observer->ExchangeDone(entry);
}

QByteArray ServerAsker::ResolveHostAddresses(QByteArrayView host, QList<QByteArray>& addresses)
{
    addresses.clear();
    QByteArray failure = texts::kResolveFailed.Text();
    const QByteArray name = TrimText(host);
    if (name.isEmpty())
        return failure;

    const QList<uint32_t> found = m_transport.ResolveIPv4(name, m_stop);
    for (const uint32_t address : found.first(std::min(found.size(), kMaxAddresses)))
        addresses.append(AddressText(address));
    // IPv6 after IPv4, within the same cap; a name with the cap filled by IPv4 is not asked again.
    if (addresses.size() < kMaxAddresses) {
        int budgetMs = -1; // outside a search: the transport's own bound
        if (m_searching) {
            const qint64 left = m_options.DeadlineMilliseconds - (SteadyNow() - m_startedMs);
            budgetMs = static_cast<int>(std::clamp<qint64>(left, 0, std::numeric_limits<int>::max()));
        }
        const QList<IPv6Bytes> found6 = m_transport.ResolveIPv6(name, m_stop, budgetMs);
        for (const IPv6Bytes& address : found6.first(std::min(found6.size(), kMaxAddresses - addresses.size())))
            addresses.append(IPv6Text(address));
    }
    if (addresses.isEmpty())
        return failure;
    return QByteArray();
}

QByteArray ServerAsker::ReverseName(uint32_t address)
{
    return m_transport.ReverseName(address, m_stop);
}

QByteArray ServerAsker::ReverseName6(const QByteArray& address)
{
    return m_transport.ReverseName6(address, m_stop);
}

void ServerAsker::WriteReply(QByteArrayView reply, const ServerAnswer& from)
{
    // Every byte maps to a character: UTF-8 where it is valid, Latin-1 elsewhere. Line breaks are made LF here, in
    // place, so that neither the worksheet nor the observer copies a large reply to do it.
    QString text = Worksheet::WithLfBreaks(Utf8ToWideText(reply));
    m_sheet.WriteLine(text);
    ExchangeObserver* observer = m_options.Observer;
    const bool told = observer != nullptr && from.Exchange >= 0;
    if (from.Failure != ExchangeFailure::None) {
        const QString mark = Utf8ToWideText(texts::FormatText(texts::kReplyIncomplete, { texts::FailureText(from) }));
        m_sheet.WriteLine(mark);
        // Only an observer needs the reply and its mark joined; without one a large reply is not copied.
        if (told)
            text += u'\n' + mark;
    }
    if (told)
        observer->ExchangeTextWritten(from.Exchange, Worksheet::WithLfBreaks(std::move(text)));
}

void ServerAsker::TellTextWritten(QByteArrayView text, const ServerAnswer& from)
{
    if (m_options.Observer != nullptr && from.Exchange >= 0)
        m_options.Observer->ExchangeTextWritten(from.Exchange, Worksheet::WithLfBreaks(Utf8ToWideText(text)));
}

void ServerAsker::WriteNoMatch(const QByteArray& domain)
{
    if (m_options.Observer != nullptr)
        m_options.Observer->LastExchangeShowsNoMatch();
    WriteReply(texts::FormatText(texts::kNoMatch, { domain }));
}

void ServerAsker::WriteNoAnswer(const ServerAnswer& answer)
{
    if (answer.Failure == ExchangeFailure::None || answer.Silent)
        return;
    WriteReply(texts::FormatText(texts::kNoAnswer, { answer.Host, texts::FailureText(answer) }));
}

} // namespace vesk
