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

ServerAnswer LookupEngine::AskRdap(const QUrl& url, HostSource source)
{
    StatusAtExit blank(m_sheet, QByteArray());
    ServerAnswer answer;
    answer.Host = url.host().toLatin1().toLower();
    if (m_stop.IsRequested()) {
        answer.Failure = ExchangeFailure::Stopped;
        answer.Silent = m_stopMet;
        m_stopMet = true;
        return answer;
    }
    m_sheet.SetStatus(texts::FormatText(texts::kStatusConnecting,
                                        { answer.Host, QByteArray::number(url.port(url.scheme() == u"http" ? 80 : 443)),
                                          url.path(QUrl::FullyEncoded).toLatin1() }));
    m_frontend.ProcessPendingEvents();
    const RdapFetch fetch = m_rdap->Fetch(url, source, m_stop);
    static_cast<ExchangeResult&>(answer) = fetch;
    answer.Host = fetch.Host.isEmpty() ? answer.Host : fetch.Host;
    // Any HTTP status is an answer from a server; a stop ends the search's asking.
    if (answer.HttpStatus != 0)
        m_anyAnswered = true;
    if (answer.Failure == ExchangeFailure::Stopped)
        m_stopMet = true;
    return answer;
}

void LookupEngine::WriteRdapRecord(const QByteArray& domain, const QByteArray& host, const QByteArray& text)
{
    m_sheet.WriteSourceBox(QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain),
                           QByteArray(texts::kSourcePrefix) + host + texts::kRdapSourceSuffix);
    WriteReply(text);
}

DomainRecord LookupEngine::RdapDomainDetails(const QByteArray& domain, const QByteArray& base, bool firstAsked,
                                             const DomainRecord* registry, bool& failed)
{
    failed = false;
    const bool filter = m_settings.FilterComments;
    const QUrl registryUrl = RdapUrl(base, texts::kRdapDomainPath, domain);
    ServerAnswer answer = AskRdap(registryUrl, HostSource::Fixed);
    if (answer.Failure == ExchangeFailure::HttpStatus && answer.HttpStatus == kHttpNotFound && firstAsked) {
        WriteNoMatch(domain);
        return DomainRecord();
    }
    RdapAnswer parsed;
    if (answer.Failure == ExchangeFailure::None) {
        parsed = ParseRdapAnswer(answer.Reply);
        if (parsed.Kind != RdapAnswerKind::Domain)
            answer.Failure = ExchangeFailure::BadRdap;
    }
    if (answer.Failure != ExchangeFailure::None) {
        failed = true;
        if (registry != nullptr) {
            // The port-43 registry record is still the best there is.
            m_sheet.WriteSourceBox(QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain),
                                   QByteArray(texts::kSourcePrefix) + registry->Host);
            WriteReply(registry->Reply);
            return *registry;
        }
        WriteNoAnswer(answer);
        return DomainRecord();
    }

    // The registrar's record is the full one; a registrar that does not answer leaves the registry's.
    const QUrl link = PickRegistrarLink(parsed);
    const bool downgrade = link.scheme() == u"http" && registryUrl.scheme() != u"http";
    if (link.isValid() && !downgrade) {
        ServerAnswer registrar = AskRdap(link, HostSource::Referral);
        if (registrar.Failure == ExchangeFailure::None) {
            const RdapAnswer record = ParseRdapAnswer(registrar.Reply);
            const QByteArray text = RenderDomainRecord(record, filter);
            if (record.Kind == RdapAnswerKind::Domain && !text.isEmpty()) {
                WriteRdapRecord(domain, registrar.Host, text);
                return DomainRecord();
            }
        }
    }
    if (registry != nullptr) {
        m_sheet.WriteSourceBox(QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain),
                               QByteArray(texts::kSourcePrefix) + registry->Host);
        WriteReply(registry->Reply);
        return *registry;
    }
    WriteRdapRecord(domain, answer.Host, RenderDomainRecord(parsed, filter));
    return DomainRecord();
}

QByteArray LookupEngine::RdapNetworkDetails(const QByteArray& address, bool& wrote, ServerAnswer& lastAsked)
{
    if (RdapUseNow() == RdapUse::Never)
        return QByteArray();
    const QByteArray base = FindAddressBaseUrl(m_bootstrap->Addresses, address);
    if (base.isEmpty())
        return QByteArray();
    ServerAnswer answer = AskRdap(RdapUrl(base, texts::kRdapAddressPath, address), HostSource::Fixed);
    QByteArray text;
    if (answer.Failure == ExchangeFailure::None) {
        text = RenderNetworkRecord(ParseRdapAnswer(answer.Reply), m_settings.FilterComments);
        if (text.isEmpty())
            answer.Failure = ExchangeFailure::BadRdap;
    }
    if (!answer.Silent)
        lastAsked = answer;
    if (text.isEmpty())
        return QByteArray();
    WriteNetworkSection(address, answer.Host + texts::kRdapSourceSuffix, text, ExchangeResult());
    wrote = true;
    return ExtractCidr(text);
}

} // namespace vesk
