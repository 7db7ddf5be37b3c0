#include "lookup/as_report.h"

#include "defs/definition_tables.h"
#include "lookup/rdap_details.h"
#include "lookup/report_texts.h"
#include "lookup/search_dispatch.h"
#include "lookup/search_options.h"
#include "lookup/server_asker.h"
#include "lookup/worksheet.h"
#include "rdap/bootstrap_registry.h"
#include "whois/host_text.h"
#include "whois/reply_parsing.h"

#include <QUrl>

namespace vesk {

namespace {

struct RegistryHost
{
    const char* Domain; ///< the registry's own domain, which its RDAP servers lie in
    const char* Whois;
};

constexpr RegistryHost kRegistryHosts[] = {
    { "arin.net", "whois.arin.net" },     { "ripe.net", "whois.ripe.net" },       { "apnic.net", "whois.apnic.net" },
    { "lacnic.net", "whois.lacnic.net" }, { "afrinic.net", "whois.afrinic.net" },
};

} // namespace

QByteArray RegistryWhoisHost(QByteArrayView baseUrl)
{
    const QUrl url = QUrl::fromEncoded(baseUrl.toByteArray());
    const QByteArray host = url.host().toLower().toLatin1();
    if (!url.isValid() || host.isEmpty())
        return QByteArray();
    for (const RegistryHost& registry : kRegistryHosts) {
        const QByteArrayView domain(registry.Domain);
        if (host == domain || host.endsWith('.' + domain.toByteArray()))
            return registry.Whois;
    }
    return QByteArray();
}

QByteArray AsQueryLine(QByteArrayView host, uint32_t number)
{
    if (LowerAscii(host) == texts::kArinWhoisHost)
        return "a " + QByteArray::number(number);
    return "AS" + QByteArray::number(number);
}

AsReport::AsReport(ServerAsker& asker, RdapDetails& rdap, const DefinitionTables& definitions,
                   const SearchOptions& options)
    : m_asker(asker)
    , m_rdap(rdap)
    , m_definitions(definitions)
    , m_options(options)
{ }

void AsReport::Write(const QByteArray& query)
{
    Worksheet& sheet = m_asker.Sheet();
    if (m_options.ClearBeforeSearch)
        sheet.ClearWorksheet();
    sheet.WriteHeaderBox(texts::FormatText(texts::kAsReportTitle, { query }));
    if (const std::optional<uint32_t> number = ParseAsNumberQuery(query))
        Details(*number, "AS" + QByteArray::number(*number));
    sheet.WriteLine(QString());
    sheet.SetStatus(QByteArray(texts::kStatusDone));
}

void AsReport::Details(uint32_t number, const QByteArray& name)
{
    const bool filter = m_options.FilterComments;
    bool ended = false; ///< a stop or a limit of the search was met: nothing more is asked

    // Every server asked that gives no answer is named at once, so a report that ends empty says why for each.
    const auto failed = [&](const ServerAnswer& answer) {
        if (answer.Failure == ExchangeFailure::None || (!answer.Reply.isEmpty() && !answer.Silent))
            return false;
        m_asker.WriteNoAnswer(answer);
        ended = ended || answer.Silent || EndsAsking(answer.Failure);
        return true;
    };
    const auto section = [&](const QByteArray& host, QByteArrayView reply, const ServerAnswer& from) {
        m_asker.Sheet().WriteSourceBox(QByteArray(texts::kAsDetailsTitle) + name,
                                       QByteArray(texts::kSourcePrefix) + host);
        m_asker.WriteReply(reply, from);
    };

    // The AS number registry chooses the regional registry in every RDAP mode. Without it, or for a registry
    // without a known port-43 server, ARIN is asked: it refers to the registry that holds the number.
    const RdapBootstrap* bootstrap = m_asker.RegistryBootstrap();
    QList<QByteArray> bases;
    QByteArray whois;
    if (bootstrap != nullptr && !bootstrap->Asns.Ranges.isEmpty()) {
        bases = FindAsnBaseUrls(bootstrap->Asns, number);
        if (bases.isEmpty()) {
            m_asker.WriteReply(texts::FormatText(texts::kNoRegistryHoldsAs, { name }));
            return;
        }
        whois = RegistryWhoisHost(bases.first());
    }
    if (whois.isEmpty())
        whois = texts::kArinWhoisHost;

    // True when RDAP answered and its record is written.
    const auto fromRdap = [&]() {
        const RdapNetworkRecord rdap = m_rdap.AutnumRecord(number, bases);
        if (!rdap.Asked || failed(rdap.Answer))
            return false;
        section(rdap.Answer.Host + texts::kRdapSourceSuffix, rdap.Text, rdap.Answer);
        return true;
    };

    const bool rdapFirst = m_options.Rdap == RdapUse::First;
    if (rdapFirst && (fromRdap() || ended))
        return;

    const bool arin = whois == texts::kArinWhoisHost;
    const ServerAnswer answer = m_asker.Ask(whois, AsQueryLine(whois, number), texts::kWhoisPort,
                                            arin ? Pause::Yes : Pause::No, HostSource::Fixed);
    if (failed(answer)) {
        if (!rdapFirst && !ended)
            fromRdap();
        return;
    }

    // The same filtering as a network's records: ARIN's comments on request, the RIPE-style "%" lines always.
    const QByteArray reply = !arin ? RemovePrefixedLines(answer.Reply, texts::kCommentPrefix)
        : filter                   ? FilterArinComments(answer.Reply)
                                   : answer.Reply;
    const ReferralTarget referral = ExtractReferralServer(reply);
    const QByteArray target = LowerAscii(referral.Host);
    const bool follow = !target.isEmpty() && target != whois;
    // A registry of kind 1 holds the full record, so ARIN's summary of its block is left out.
    if (!reply.isEmpty() && (!follow || m_definitions.FindHostMark(referral.Host).Kind != 1))
        section(whois, reply, answer);
    if (!follow)
        return;
    int32_t port = texts::kWhoisPort;
    if (!ToInt32(referral.Port, port))
        port = texts::kWhoisPort;
    const ServerAnswer referred
        = m_asker.Ask(target, AsQueryLine(target, number), port, Pause::No, HostSource::Referral);
    if (failed(referred))
        return;
    const QByteArray text = RemovePrefixedLines(referred.Reply, texts::kCommentPrefix);
    if (!text.isEmpty())
        section(target, text, referred);
}

} // namespace vesk
