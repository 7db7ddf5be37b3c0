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
    if (server.isEmpty())
        return DomainRecord();

    const bool filter = m_settings.FilterComments;
    const QByteArray title = QByteArray(texts::kDomainDetailsTitle) + UpperAscii(domain);
    const THostMark first = ProfileFor(m_definitions, server);
    QByteArray reply
        = QueryServer(first.Host, BuildDomainQuery(first, domain), texts::kWhoisPort, Pause::No, HostSource::Fixed);
    if (reply.isEmpty()) {
        WriteNoMatch(domain);
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
        if (!registrar.Host.isEmpty()) {
            QByteArray record = QueryServer(registrar.Host, BuildDomainQuery(registrar, domain), texts::kWhoisPort,
                                            Pause::No, HostSource::Referral);
            if (!record.isEmpty()) {
                const QByteArray host = LowerAscii(registrar.Host);
                m_sheet.WriteSourceBox(title, QByteArray(texts::kSourcePrefix) + host);
                if (filter)
                    record = TrimByHostMark(registrar, record);
                WriteReply(record);
                return DomainRecord { host, HostSource::Referral, record };
            }
        }
        m_sheet.WriteSourceBox(title, QByteArray(texts::kSourcePrefix) + first.Host);
        WriteReply(reply);
        return DomainRecord { first.Host, HostSource::Fixed, reply };
    }

    const bool rwhois = IsRWhoisReply(reply);
    if (filter)
        reply = TrimByHostMark(first, FilterRWhoisReply(reply));
    if (reply.isEmpty() || !m_definitions.DomainFound(first.Host, reply)) {
        WriteNoMatch(domain);
        return DomainRecord();
    }
    m_sheet.WriteSourceBox(title, QByteArray(texts::kSourcePrefix) + first.Host);
    m_sheet.WriteLine(Utf8ToWideText(reply));

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
            QByteArray contact = QueryServer(first.Host, handles[k], texts::kWhoisPort, Pause::Yes, HostSource::Fixed);
            if (filter)
                contact = RemoveAll(FilterRWhoisReply(contact), texts::kContactPrefix);
            if (contact.isEmpty())
                continue;
            WriteReply("\r\n" + QByteArray(texts::kRWhoisContactLabels[k]) + ':');
            m_sheet.WriteLine(Utf8ToWideText(contact));
        }
    }
    return DomainRecord { first.Host, HostSource::Fixed, reply };
}

} // namespace vesk
