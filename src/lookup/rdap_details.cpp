#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "lookup/status_at_exit.h"
#include "rdap/bootstrap_registry.h"
#include "rdap/domain_text.h"
#include "rdap/network_text.h"
#include "rdap/rdap_answer.h"
#include "rdap/rdap_client.h"
#include "settings/settings_store.h"
#include "whois/host_text.h"
#include "whois/reply_parsing.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QUrl>

namespace vesk {

namespace {

constexpr int kHttpNotFound = 404;

QUrl RdapUrl(const QByteArray& base, const char* path, const QByteArray& object)
{
    return QUrl::fromEncoded(base + path + object);
}

} // namespace

LookupEngine::RdapUse LookupEngine::RdapUseNow() const
{
    if (m_rdap == nullptr || m_bootstrap == nullptr)
        return RdapUse::Never;
    const QString mode = m_settings.RdapMode.trimmed().toLower();
    if (mode == QLatin1String(texts::kRdapModeNever))
        return RdapUse::Never;
    if (mode == QLatin1String(texts::kRdapModeFirst))
        return RdapUse::First;
    return RdapUse::Fallback;
}

QByteArray LookupEngine::RdapBaseFor(const QByteArray& domain) const
{
    if (RdapUseNow() == RdapUse::Never)
        return QByteArray();
    return FindDomainBaseUrl(m_bootstrap->Domains, domain);
}

ServerAnswer LookupEngine::AskRdap(const QUrl& url, HostSource source, bool notFoundIsNoMatch,
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
    if (!ReadyToAsk(answer, status, Pause::No))
        return answer;

    QElapsedTimer elapsed;
    elapsed.start();
    const RdapFetch fetch = m_rdap->Fetch(url, source, m_stop);
    static_cast<ExchangeResult&>(answer) = fetch;
    answer.Host = fetch.Host.isEmpty() ? answer.Host : fetch.Host;
    parsed = RdapAnswer();
    if (answer.Failure == ExchangeFailure::None) {
        parsed = ParseRdapAnswer(answer.Reply);
        if (!usable(parsed))
            answer.Failure = ExchangeFailure::BadRdap;
    }
    if (m_observer != nullptr) {
        ExchangeEntry entry;
        entry.Protocol = "rdap";
        entry.Host = answer.Host;
        entry.Url = url.toEncoded();
        entry.Request = "GET " + entry.Url;
        if (!parsed.Object.isEmpty())
            entry.Answer = QJsonDocument(parsed.Object).toJson(QJsonDocument::Compact);
        // Any HTTP status came from a server; a 429 that stayed one is a refusal, not an answer.
        entry.Answered = answer.HttpStatus != 0 && answer.Failure != ExchangeFailure::RateLimited;
        if (notFoundIsNoMatch && answer.Failure == ExchangeFailure::HttpStatus && answer.HttpStatus == kHttpNotFound)
            entry.Outcome = "no-match";
        answer.Exchange = TellExchange(std::move(entry), answer, elapsed.elapsed());
    }
    // Any HTTP status is an answer from a server; a stop ends the search's asking.
    if (answer.HttpStatus != 0)
        m_anyAnswered = true;
    if (answer.Failure == ExchangeFailure::Stopped)
        m_stopMet = true;
    return answer;
}

void LookupEngine::WriteRdapRecord(const QByteArray& domain, const ServerAnswer& from, const QByteArray& text)
{
    m_sheet.WriteSourceBox(QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain),
                           QByteArray(texts::kSourcePrefix) + from.Host + texts::kRdapSourceSuffix);
    WriteReply(text, from);
}

DomainRecord LookupEngine::WriteRegistryRecord(const QByteArray& domain, const DomainRecord& registry)
{
    m_sheet.WriteSourceBox(QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain),
                           QByteArray(texts::kSourcePrefix) + registry.Host);
    ServerAnswer from;
    from.Exchange = registry.Exchange;
    WriteReply(registry.Reply, from);
    return registry;
}

DomainRecord LookupEngine::RdapDomainDetails(const QByteArray& domain, const QByteArray& base, bool firstAsked,
                                             const DomainRecord* registry, bool& failed)
{
    failed = false;
    const bool filter = m_settings.FilterComments;
    const QUrl registryUrl = RdapUrl(base, texts::kRdapDomainPath, domain);
    const auto isDomain = [](const RdapAnswer& parsed) { return parsed.Kind == RdapAnswerKind::Domain; };
    RdapAnswer parsed;
    const ServerAnswer answer = AskRdap(registryUrl, HostSource::Fixed, firstAsked, isDomain, parsed);
    if (answer.Failure == ExchangeFailure::HttpStatus && answer.HttpStatus == kHttpNotFound && firstAsked) {
        WriteNoMatch(domain);
        return DomainRecord();
    }
    if (answer.Failure != ExchangeFailure::None) {
        failed = true;
        // The port-43 registry record is still the best there is.
        if (registry != nullptr)
            return WriteRegistryRecord(domain, *registry);
        WriteNoAnswer(answer);
        return DomainRecord();
    }

    // The registrar's record is the full one; a registrar that does not answer leaves the registry's.
    const QUrl link = PickRegistrarLink(parsed);
    const bool downgrade = link.scheme() == u"http" && registryUrl.scheme() != u"http";
    if (link.isValid() && !downgrade) {
        QByteArray text;
        const auto rendersDomain = [&text, filter](const RdapAnswer& record) {
            if (record.Kind == RdapAnswerKind::Domain)
                text = RenderDomainRecord(record, filter);
            return !text.isEmpty();
        };
        RdapAnswer record;
        const ServerAnswer registrar = AskRdap(link, HostSource::Referral, false, rendersDomain, record);
        if (registrar.Failure == ExchangeFailure::None) {
            WriteRdapRecord(domain, registrar, text);
            return DomainRecord();
        }
    }
    if (registry != nullptr)
        return WriteRegistryRecord(domain, *registry);
    WriteRdapRecord(domain, answer, RenderDomainRecord(parsed, filter));
    return DomainRecord();
}

QByteArray LookupEngine::RdapNetworkDetails(const QByteArray& address, bool& wrote, ServerAnswer& lastAsked)
{
    if (RdapUseNow() == RdapUse::Never)
        return QByteArray();
    const QByteArray base = FindAddressBaseUrl(m_bootstrap->Addresses, address);
    if (base.isEmpty())
        return QByteArray();
    QByteArray text;
    const auto rendersNetwork = [&text, filter = m_settings.FilterComments](const RdapAnswer& parsed) {
        text = RenderNetworkRecord(parsed, filter);
        return !text.isEmpty();
    };
    RdapAnswer parsed;
    const ServerAnswer answer
        = AskRdap(RdapUrl(base, texts::kRdapAddressPath, address), HostSource::Fixed, false, rendersNetwork, parsed);
    if (!answer.Silent)
        lastAsked = answer;
    if (answer.Failure != ExchangeFailure::None)
        return QByteArray();
    WriteNetworkSection(address, answer.Host + texts::kRdapSourceSuffix, text, answer);
    wrote = true;
    return ExtractCidr(text);
}

} // namespace vesk
