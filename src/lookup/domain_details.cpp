#include "lookup/domain_details.h"

#include "defs/definition_tables.h"
#include "lookup/rdap_details.h"
#include "lookup/report_texts.h"
#include "lookup/search_dispatch.h"
#include "lookup/search_options.h"
#include "lookup/server_asker.h"
#include "lookup/worksheet.h"
#include "whois/host_text.h"
#include "whois/reply_parsing.h"

#include <optional>

namespace vesk {

namespace {

// The profile of `host`, or one made up on the spot that asks for the bare domain and cuts nothing.
THostMark ProfileFor(const DefinitionTables& definitions, QByteArrayView host)
{
    THostMark profile = definitions.FindHostMark(host);
    if (profile.Host.isEmpty()) {
        profile = THostMark();
        profile.Host = LowerAscii(TrimText(host));
    }
    return profile;
}

} // namespace

DomainDetails::DomainDetails(ServerAsker& asker, RdapDetails& rdap, const DefinitionTables& definitions,
                             const SearchOptions& options)
    : m_asker(asker)
    , m_rdap(rdap)
    , m_definitions(definitions)
    , m_options(options)
{ }

DomainRecord DomainDetails::Lookup(const QByteArray& domain, const QByteArray& server)
{
    // The bootstrap is looked at only once RDAP is about to be asked: a search that port 43 answers leaves it alone.
    std::optional<QByteArray> base;
    const auto rdapBase = [this, &base, &domain]() -> const QByteArray& {
        if (!base)
            base = m_rdap.DomainBase(domain);
        return *base;
    };
    const RdapUse use = m_options.Rdap;
    bool rdapFailed = false;
    if (server.isEmpty()) {
        if (!rdapBase().isEmpty())
            return m_rdap.DomainDetails(domain, rdapBase(), true, nullptr, rdapFailed);
        if (m_rdap.InUse()) {
            const HostNameParts parts = SplitHostName(domain);
            m_asker.WriteReply(texts::FormatText(texts::kNoServerKnown, { UpperAscii(parts.Tld) }));
        }
        return DomainRecord();
    }
    if (use == RdapUse::First && !rdapBase().isEmpty()) {
        // RDAP first; port 43 only when RDAP gives no answer.
        DomainRecord record = m_rdap.DomainDetails(domain, rdapBase(), true, nullptr, rdapFailed);
        if (!rdapFailed)
            return record;
    }

    const bool filter = m_options.FilterComments;
    const QByteArray title = QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain);
    const THostMark first = ProfileFor(m_definitions, server);
    const ServerAnswer firstAnswer
        = m_asker.Ask(first.Host, BuildDomainQuery(first, domain), texts::kWhoisPort, Pause::No, HostSource::Fixed);
    QByteArray reply = firstAnswer.Reply;
    // A server that failed is not a server that says "no match".
    if (reply.isEmpty()) {
        if (firstAnswer.Failure == ExchangeFailure::None) {
            m_asker.WriteNoMatch(domain);
            return DomainRecord();
        }
        m_asker.WriteNoAnswer(firstAnswer);
        // Port 43 gave no answer: RDAP is asked next (unless it was asked first already).
        if (use == RdapUse::Fallback && !EndsAsking(firstAnswer.Failure) && !rdapBase().isEmpty())
            return m_rdap.DomainDetails(domain, rdapBase(), true, nullptr, rdapFailed);
        return DomainRecord();
    }

    if (DefinitionTables::IsRegistryServer(first.Host)) {
        // The registry answers with a short record naming the registrar's server; the full record is there.
        if (!m_definitions.DomainFound(server, reply)) {
            m_asker.WriteNoMatch(domain);
            return DomainRecord();
        }
        if (filter)
            reply = TrimByHostMark(first, reply);
        const QByteArray registrarHost
            = ExtractWhoisServer(reply, [this](QByteArrayView host) { return HasKnownTld(m_definitions, host); });
        const THostMark registrar = ProfileFor(m_definitions, registrarHost);
        ServerAnswer answer;
        if (!registrar.Host.isEmpty()) {
            answer = m_asker.Ask(registrar.Host, BuildDomainQuery(registrar, domain), texts::kWhoisPort, Pause::No,
                                 HostSource::Referral);
            if (!answer.Reply.isEmpty()) {
                const QByteArray host = LowerAscii(registrar.Host);
                m_asker.Sheet().WriteSourceBox(title, QByteArray(texts::kSourcePrefix) + host);
                const QByteArray record = filter ? TrimByHostMark(registrar, answer.Reply) : answer.Reply;
                m_asker.WriteReply(record, answer);
                return DomainRecord { host, HostSource::Referral, record, answer.Exchange };
            }
        }
        // No registrar server, or one that gave no answer: the registry's RDAP answer names the registrar's
        // RDAP record; the port-43 registry record stays the fallback.
        if (!EndsAsking(answer.Failure) && !rdapBase().isEmpty()) {
            const DomainRecord registry { first.Host, HostSource::Fixed, reply, firstAnswer.Exchange };
            return m_rdap.DomainDetails(domain, rdapBase(), false, &registry, rdapFailed);
        }
        m_asker.Sheet().WriteSourceBox(title, QByteArray(texts::kSourcePrefix) + first.Host);
        m_asker.WriteReply(reply, firstAnswer);
        return DomainRecord { first.Host, HostSource::Fixed, reply, firstAnswer.Exchange };
    }

    const bool rwhois = IsRWhoisReply(reply);
    if (filter)
        reply = TrimByHostMark(first, FilterRWhoisReply(reply));
    if (reply.isEmpty() && firstAnswer.Failure != ExchangeFailure::None) {
        m_asker.WriteNoAnswer(firstAnswer);
        if (use == RdapUse::Fallback && !EndsAsking(firstAnswer.Failure) && !rdapBase().isEmpty())
            return m_rdap.DomainDetails(domain, rdapBase(), true, nullptr, rdapFailed);
        return DomainRecord();
    }
    if (reply.isEmpty() || !m_definitions.DomainFound(first.Host, reply)) {
        m_asker.WriteNoMatch(domain);
        return DomainRecord();
    }
    m_asker.Sheet().WriteSourceBox(title, QByteArray(texts::kSourcePrefix) + first.Host);
    m_asker.WriteReply(reply, firstAnswer);
    if (rwhois)
        WriteRWhoisContacts(first.Host, reply);
    return DomainRecord { first.Host, HostSource::Fixed, reply, firstAnswer.Exchange };
}

void DomainDetails::WriteRWhoisContacts(const QByteArray& host, const QByteArray& reply)
{
    // The RWhois record names its contacts by handle; each distinct one is fetched from the same server.
    QByteArray handles[3];
    for (int k = 0; k < 3; ++k)
        handles[k] = ExtractLabelValue(reply, texts::kRWhoisContactLabels[k]);
    if (handles[1] == handles[0])
        handles[1].clear();
    if (handles[2] == handles[1] || handles[2] == handles[0])
        handles[2].clear();
    for (int k = 0; k < 3; ++k) {
        if (handles[k].isEmpty())
            continue;
        const ServerAnswer answer = m_asker.Ask(host, handles[k], texts::kWhoisPort, Pause::Yes, HostSource::Fixed);
        const QByteArray contact = m_options.FilterComments
            ? RemoveAll(FilterRWhoisReply(answer.Reply), texts::kContactPrefix)
            : answer.Reply;
        if (contact.isEmpty())
            continue;
        m_asker.WriteReply("\r\n" + QByteArray(texts::kRWhoisContactLabels[k]) + ':');
        m_asker.WriteReply(contact, answer);
    }
}

} // namespace vesk
