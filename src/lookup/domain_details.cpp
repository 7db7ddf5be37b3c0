#include "codecs/utf8_decoder.h"
#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "settings/settings_store.h"
#include "whois/host_text.h"
#include "whois/reply_parsing.h"

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

DomainRecord LookupEngine::DomainDetails(const QByteArray& domain, const QByteArray& server)
{
    const QByteArray rdapBase = RdapBaseFor(domain);
    bool rdapFailed = false;
    if (server.isEmpty()) {
        if (!rdapBase.isEmpty())
            return RdapDomainDetails(domain, rdapBase, true, nullptr, rdapFailed);
        if (RdapUseNow() != RdapUse::Never) {
            const HostNameParts parts = SplitHostName(domain);
            WriteReply(texts::FormatText(texts::kNoServerKnown, { UpperAscii(parts.Tld) }));
        }
        return DomainRecord();
    }
    if (!rdapBase.isEmpty() && RdapUseNow() == RdapUse::First) {
        // RDAP first; port 43 only when RDAP gives no answer.
        DomainRecord record = RdapDomainDetails(domain, rdapBase, true, nullptr, rdapFailed);
        if (!rdapFailed)
            return record;
    }

    const bool filter = m_settings.FilterComments;
    const QByteArray title = QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain);
    const THostMark first = ProfileFor(m_definitions, server);
    const ServerAnswer firstAnswer
        = QueryServer(first.Host, BuildDomainQuery(first, domain), texts::kWhoisPort, Pause::No, HostSource::Fixed);
    QByteArray reply = firstAnswer.Reply;
    // A server that failed is not a server that says "no match".
    if (reply.isEmpty()) {
        if (firstAnswer.Failure == ExchangeFailure::None) {
            WriteNoMatch(domain);
            return DomainRecord();
        }
        WriteNoAnswer(firstAnswer);
        // Port 43 gave no answer: RDAP is asked next (unless it was asked first already).
        if (!rdapBase.isEmpty() && RdapUseNow() == RdapUse::Fallback && firstAnswer.Failure != ExchangeFailure::Stopped)
            return RdapDomainDetails(domain, rdapBase, true, nullptr, rdapFailed);
        return DomainRecord();
    }

    if (DefinitionTables::IsRegistryServer(first.Host)) {
        // The registry answers with a short record naming the registrar's server; the full record is there.
        if (!m_definitions.DomainFound(server, reply)) {
            WriteNoMatch(domain);
            return DomainRecord();
        }
        if (filter)
            reply = TrimByHostMark(first, reply);
        const QByteArray registrarHost
            = ExtractWhoisServer(reply, [this](QByteArrayView host) { return HasKnownTld(host); });
        const THostMark registrar = ProfileFor(m_definitions, registrarHost);
        ServerAnswer answer;
        if (!registrar.Host.isEmpty()) {
            answer = QueryServer(registrar.Host, BuildDomainQuery(registrar, domain), texts::kWhoisPort, Pause::No,
                                 HostSource::Referral);
            if (!answer.Reply.isEmpty()) {
                const QByteArray host = LowerAscii(registrar.Host);
                m_sheet.WriteSourceBox(title, QByteArray(texts::kSourcePrefix) + host);
                const QByteArray record = filter ? TrimByHostMark(registrar, answer.Reply) : answer.Reply;
                WriteReply(record, answer);
                return DomainRecord { host, HostSource::Referral, record, answer.Exchange };
            }
        }
        // No registrar server, or one that gave no answer: the registry's RDAP answer names the registrar's
        // RDAP record; the port-43 registry record stays the fallback.
        if (!rdapBase.isEmpty() && answer.Failure != ExchangeFailure::Stopped) {
            const DomainRecord registry { first.Host, HostSource::Fixed, reply, firstAnswer.Exchange };
            return RdapDomainDetails(domain, rdapBase, false, &registry, rdapFailed);
        }
        m_sheet.WriteSourceBox(title, QByteArray(texts::kSourcePrefix) + first.Host);
        WriteReply(reply, firstAnswer);
        return DomainRecord { first.Host, HostSource::Fixed, reply, firstAnswer.Exchange };
    }

    const bool rwhois = IsRWhoisReply(reply);
    if (filter)
        reply = TrimByHostMark(first, FilterRWhoisReply(reply));
    if (reply.isEmpty() && firstAnswer.Failure != ExchangeFailure::None) {
        WriteNoAnswer(firstAnswer);
        if (!rdapBase.isEmpty() && RdapUseNow() == RdapUse::Fallback && firstAnswer.Failure != ExchangeFailure::Stopped)
            return RdapDomainDetails(domain, rdapBase, true, nullptr, rdapFailed);
        return DomainRecord();
    }
    if (reply.isEmpty() || !m_definitions.DomainFound(first.Host, reply)) {
        WriteNoMatch(domain);
        return DomainRecord();
    }
    m_sheet.WriteSourceBox(title, QByteArray(texts::kSourcePrefix) + first.Host);
    WriteReply(reply, firstAnswer);

    if (rwhois) {
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
            const ServerAnswer answer
                = QueryServer(first.Host, handles[k], texts::kWhoisPort, Pause::Yes, HostSource::Fixed);
            const QByteArray contact
                = filter ? RemoveAll(FilterRWhoisReply(answer.Reply), texts::kContactPrefix) : answer.Reply;
            if (contact.isEmpty())
                continue;
            WriteReply("\r\n" + QByteArray(texts::kRWhoisContactLabels[k]) + ':');
            WriteReply(contact, answer);
        }
    }
    return DomainRecord { first.Host, HostSource::Fixed, reply, firstAnswer.Exchange };
}

} // namespace vesk
