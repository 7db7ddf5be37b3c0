#include "common/event_wait.h"
#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "lookup/status_at_exit.h"
#include "whois/host_text.h"
#include "whois/ip_address.h"
#include "whois/rate_limit_reply.h"

#include <QElapsedTimer>

namespace vesk {

namespace {

// The most addresses a report lists; a name with more lists its first ones.
constexpr qsizetype kMaxAddresses = 100;

} // namespace

ServerAnswer LookupEngine::QueryServer(const QByteArray& host, const QByteArray& query, int port, Pause pause,
                                       HostSource source)
{
    StatusAtExit blank(m_sheet, QByteArray());
    ServerAnswer answer;
    answer.Host = host;
    if (!ReadyToAsk(answer, texts::FormatText(texts::kStatusConnecting, { host, QByteArray::number(port), query }),
                    pause))
        return answer;

    QElapsedTimer elapsed;
    elapsed.start();
    static_cast<ExchangeResult&>(answer) = m_transport.Exchange(host, port, query, source, m_stop);
    if (m_observer != nullptr) {
        ExchangeEntry entry;
        entry.Host = host;
        entry.Port = port;
        entry.Request = query;
        const bool limited = IsRateLimitedReply(host, answer.Reply);
        entry.Answered = !limited && (!answer.Reply.isEmpty() || answer.Failure == ExchangeFailure::None);
        if (limited && answer.Failure == ExchangeFailure::None)
            entry.Outcome = "rate-limited";
        answer.Exchange = TellExchange(std::move(entry), answer, elapsed.elapsed());
    }
    // A server answered when it sent something or closed in order; a reply cut short still came from a server.
    if (!answer.Reply.isEmpty() || answer.Failure == ExchangeFailure::None)
        m_anyAnswered = true;
    if (answer.Failure == ExchangeFailure::Stopped)
        m_stopMet = true;
    return answer;
}

bool LookupEngine::ReadyToAsk(ServerAnswer& answer, const QByteArray& status, Pause pause)
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
    if (metStop())
        return false;
    m_sheet.SetStatus(status);
    m_frontend.ProcessPendingEvents();
    if (m_pacer != nullptr)
        m_pacer->WaitTurn(answer.Host, m_stop);
    else if (pause == Pause::Yes)
        m_wait.WaitUntil(m_pauseMs, {}, m_stop);
    return !metStop();
}

int LookupEngine::TellExchange(ExchangeEntry entry, const ExchangeResult& result, qint64 elapsedMs)
{
    if (m_observer == nullptr)
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
    return m_observer->ExchangeDone(entry);
}

QByteArray LookupEngine::ResolveHostAddresses(QByteArrayView host, QList<QByteArray>& addresses)
{
    addresses.clear();
    QByteArray failure = texts::kResolveFailed.Text();
    const QByteArray name = TrimText(host);
    if (name.isEmpty())
        return failure;

    const QList<uint32_t> found = m_transport.ResolveIPv4(name, m_stop);
    if (found.isEmpty())
        return failure;
    for (const uint32_t address : found.first(std::min(found.size(), kMaxAddresses)))
        addresses.append(AddressText(address));
    return QByteArray();
}

} // namespace vesk
