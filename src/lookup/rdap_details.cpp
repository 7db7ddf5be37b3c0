#include "lookup/rdap_details.h"

#include "lookup/report_texts.h"
#include "lookup/search_options.h"
#include "lookup/worksheet.h"
#include "rdap/bootstrap_registry.h"
#include "rdap/domain_text.h"
#include "rdap/network_text.h"
#include "rdap/rdap_answer.h"
#include "whois/host_text.h"

#include <QUrl>

namespace vesk {

namespace {

constexpr int kHttpNotFound = 404;

QUrl RdapUrl(const QByteArray& base, const char* path, const QByteArray& object)
{
    return QUrl::fromEncoded(base + path + object);
}

} // namespace

RdapDetails::RdapDetails(ServerAsker& asker, const SearchOptions& options)
    : m_asker(asker)
    , m_options(options)
{ }

bool RdapDetails::InUse()
{
    return m_asker.RdapBootstrapNow() != nullptr;
}

QByteArray RdapDetails::DomainBase(const QByteArray& domain)
{
    const RdapBootstrap* bootstrap = m_asker.RdapBootstrapNow();
    if (bootstrap == nullptr)
        return QByteArray();
    return FindDomainBaseUrl(bootstrap->Domains, domain);
}

void RdapDetails::WriteRdapRecord(const QByteArray& domain, const ServerAnswer& from, const QByteArray& text)
{
    m_asker.Sheet().WriteSourceBox(QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain),
                                   QByteArray(texts::kSourcePrefix) + from.Host + texts::kRdapSourceSuffix);
    m_asker.WriteReply(text, from);
}

DomainRecord RdapDetails::WriteRegistryRecord(const QByteArray& domain, const DomainRecord& registry)
{
    m_asker.Sheet().WriteSourceBox(QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain),
                                   QByteArray(texts::kSourcePrefix) + registry.Host);
    ServerAnswer from;
    from.Exchange = registry.Exchange;
    m_asker.WriteReply(registry.Reply, from);
    return registry;
}

DomainRecord RdapDetails::DomainDetails(const QByteArray& domain, const QByteArray& base, bool firstAsked,
                                        const DomainRecord* registry, bool& failed)
{
    failed = false;
    const bool filter = m_options.FilterComments;
    const QUrl registryUrl = RdapUrl(base, texts::kRdapDomainPath, domain);
    const auto isDomain = [](const RdapAnswer& parsed) { return parsed.Kind == RdapAnswerKind::Domain; };
    RdapAnswer parsed;
    const ServerAnswer answer = m_asker.AskRdap(registryUrl, HostSource::Fixed, firstAsked, isDomain, parsed);
    if (answer.Failure == ExchangeFailure::HttpStatus && answer.HttpStatus == kHttpNotFound && firstAsked) {
        m_asker.WriteNoMatch(domain);
        return DomainRecord();
    }
    if (answer.Failure != ExchangeFailure::None) {
        failed = true;
        // The port-43 registry record is still the best there is.
        if (registry != nullptr)
            return WriteRegistryRecord(domain, *registry);
        m_asker.WriteNoAnswer(answer);
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
        const ServerAnswer registrar = m_asker.AskRdap(link, HostSource::Referral, false, rendersDomain, record);
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

RdapNetworkRecord RdapDetails::NetworkRecord(const QByteArray& address)
{
    RdapNetworkRecord record;
    const RdapBootstrap* bootstrap = m_asker.RdapBootstrapNow();
    if (bootstrap == nullptr)
        return record;
    const QByteArray base = address.contains(':') ? FindIPv6BaseUrl(bootstrap->Addresses6, address)
                                                  : FindAddressBaseUrl(bootstrap->Addresses, address);
    if (base.isEmpty())
        return record;
    const auto rendersNetwork = [&record, filter = m_options.FilterComments](const RdapAnswer& parsed) {
        record.Text = RenderNetworkRecord(parsed, filter);
        return !record.Text.isEmpty();
    };
    RdapAnswer parsed;
    record.Answer = m_asker.AskRdap(RdapUrl(base, texts::kRdapAddressPath, address), HostSource::Fixed, false,
                                    rendersNetwork, parsed);
    record.Asked = true;
    return record;
}

} // namespace vesk
