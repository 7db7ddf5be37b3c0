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
    // The name is one path segment: '#', '?', '/' or '%' in it must not end or change the path. An address's
    // object is the one exception: a prefix is asked for as "ip/ADDRESS/LENGTH", and the engine only ever asks for
    // an address or prefix text it wrote itself.
    const bool address = QByteArrayView(path) == QByteArrayView(texts::kRdapAddressPath);
    return QUrl::fromEncoded(base + path + object.toPercentEncoding(address ? ":/" : ":"));
}

// A failure after which the next server of the same service may still answer: the server was not reached, or it
// said it could not serve for now. A refusal or a verdict about the query holds for every server of the service.
bool WorthTheNextServer(const ServerAnswer& answer)
{
    switch (answer.Failure) {
    case ExchangeFailure::Refused:
    case ExchangeFailure::Unreachable:
    case ExchangeFailure::NotResolved:
    case ExchangeFailure::Timeout:
    case ExchangeFailure::Reset:
    case ExchangeFailure::Closed:
    case ExchangeFailure::TooSlow:
    case ExchangeFailure::Tls:
        return true;
    case ExchangeFailure::HttpStatus:
        return answer.HttpStatus >= 500;
    default:
        return false;
    }
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
    m_serviceUrls = FindDomainBaseUrls(bootstrap->Domains, domain);
    return m_serviceUrls.value(0);
}

QList<QByteArray> RdapDetails::ServiceUrls(const QByteArray& base) const
{
    return m_serviceUrls.value(0) == base ? m_serviceUrls : QList<QByteArray> { base };
}

ServerAnswer RdapDetails::AskService(const QList<QByteArray>& bases, const char* path, const QByteArray& object,
                                     bool firstAsked, const std::function<bool(const RdapAnswer&)>& usable,
                                     RdapAnswer& parsed, QUrl& asked)
{
    ServerAnswer answer;
    for (const QByteArray& base : bases) {
        asked = RdapUrl(base, path, object);
        answer = m_asker.AskRdap(asked, HostSource::Fixed, firstAsked, usable, parsed);
        if (!WorthTheNextServer(answer))
            break;
    }
    return answer;
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
    const auto isDomain = [](const RdapAnswer& parsed) { return parsed.Kind == RdapAnswerKind::Domain; };
    RdapAnswer parsed;
    QUrl registryUrl;
    const ServerAnswer answer
        = AskService(ServiceUrls(base), texts::kRdapDomainPath, domain, firstAsked, isDomain, parsed, registryUrl);
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
            // One record under the registrar's line, each value from the server that owns it; a script reading the
            // exchanges still sees what each of the two answers said on its own.
            m_asker.Sheet().WriteSourceBox(QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain),
                                           QByteArray(texts::kSourcePrefix) + registrar.Host
                                               + texts::kRdapSourceSuffix);
            m_asker.WriteReply(RenderDomainRecords(parsed, record, filter));
            m_asker.TellTextWritten(RenderDomainRecord(parsed, filter), answer);
            m_asker.TellTextWritten(text, registrar);
            return DomainRecord();
        }
    }
    if (registry != nullptr)
        return WriteRegistryRecord(domain, *registry);
    WriteRdapRecord(domain, answer, RenderDomainRecord(parsed, filter));
    return DomainRecord();
}

RdapNetworkRecord RdapDetails::NetworkRecord(const QByteArray& address, const QByteArray& object)
{
    RdapNetworkRecord record;
    const RdapBootstrap* bootstrap = m_asker.RdapBootstrapNow();
    if (bootstrap == nullptr)
        return record;
    const QList<QByteArray> bases = address.contains(':') ? FindIPv6BaseUrls(bootstrap->Addresses6, address)
                                                          : FindAddressBaseUrls(bootstrap->Addresses, address);
    if (bases.isEmpty())
        return record;
    const auto rendersNetwork = [&record, filter = m_options.FilterComments](const RdapAnswer& parsed) {
        record.Text = RenderNetworkRecord(parsed, filter);
        return !record.Text.isEmpty();
    };
    RdapAnswer parsed;
    QUrl asked;
    record.Answer = AskService(bases, texts::kRdapAddressPath, object.isEmpty() ? address : object, false,
                               rendersNetwork, parsed, asked);
    record.Asked = true;
    return record;
}

RdapNetworkRecord RdapDetails::AutnumRecord(uint32_t number, const QList<QByteArray>& bases)
{
    RdapNetworkRecord record;
    if (bases.isEmpty() || m_asker.RdapBootstrapNow() == nullptr)
        return record;
    const auto rendersAutnum = [&record, filter = m_options.FilterComments](const RdapAnswer& parsed) {
        record.Text = RenderAutnumRecord(parsed, filter);
        return !record.Text.isEmpty();
    };
    RdapAnswer parsed;
    QUrl asked;
    record.Answer
        = AskService(bases, texts::kRdapAutnumPath, QByteArray::number(number), false, rendersAutnum, parsed, asked);
    record.Asked = true;
    return record;
}

} // namespace vesk
