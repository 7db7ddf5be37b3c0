#include "lookup/network_details.h"

#include "defs/definition_tables.h"
#include "lookup/rdap_details.h"
#include "lookup/report_texts.h"
#include "lookup/search_options.h"
#include "lookup/server_asker.h"
#include "lookup/worksheet.h"
#include "whois/host_text.h"
#include "whois/reply_parsing.h"

#include <optional>

namespace vesk {

namespace {

// The port a referral names as a decimal number, or `fallback` when its text is not one. A number no server can
// listen on is kept: the transport answers nothing for it rather than asking some other port.
int ReferralPort(const QByteArray& text, int fallback)
{
    int32_t port = 0;
    if (!ToInt32(text, port))
        return fallback;
    return port;
}

QByteArray FilterRWhoisNetwork(QByteArrayView reply)
{
    return RemoveAll(RemovePrefixedLines(reply, texts::kCommentPrefix), texts::kNetworkPrefix);
}

} // namespace

NetworkDetails::NetworkDetails(ServerAsker& asker, RdapDetails& rdap, const DefinitionTables& definitions,
                               const SearchOptions& options)
    : m_asker(asker)
    , m_rdap(rdap)
    , m_definitions(definitions)
    , m_options(options)
{ }

void NetworkDetails::WriteSection(const QByteArray& address, const QByteArray& host, QByteArrayView reply,
                                  const ServerAnswer& from)
{
    m_asker.Sheet().WriteSourceBox(QByteArray(texts::kNetworkDetailsTitle) + address,
                                   QByteArray(texts::kSourcePrefix) + host);
    m_asker.WriteReply(reply, from);
}

QByteArray NetworkDetails::Lookup(const QByteArray& address, const QByteArray& prefix)
{
    return Ask(address, prefix);
}

QByteArray NetworkDetails::Ask(const QByteArray& address, const QByteArray& prefix)
{
    const bool filter = m_options.FilterComments;
    // Every registry takes an address as it is written: dotted, or IPv6 in its canonical text. ARIN finds its
    // records by address, so for a prefix it is asked for the first address, as are the RWhois servers; the WHOIS
    // registries ARIN refers to (RIPE-style databases, LACNIC) and RDAP take the prefix itself.
    const QByteArray& query = address;
    const QByteArray& named = prefix.isEmpty() ? address : prefix;
    const QByteArray arinWhois(texts::kArinWhoisHost);
    const QByteArray arinRWhois(texts::kArinRWhoisHost);
    QByteArray block;

    // Every server asked that gives no answer is named where it was asked, with its reason, whatever answers
    // after it: a report that ends empty, or shows only a stand-in, says which servers failed and how. A search
    // that already met its stop says nothing more.
    bool limitNamed = false; // a stop or a search limit is named once: every later exchange meets it too
    const auto noteFailure = [this, &limitNamed](const ServerAnswer& answer) {
        if (!answer.Reply.isEmpty() || limitNamed)
            return;
        limitNamed = EndsAsking(answer.Failure);
        m_asker.WriteNoAnswer(answer);
    };
    const auto ask = [&](const QByteArray& host, const QByteArray& line, int port, Pause pause, HostSource source) {
        ServerAnswer answer = m_asker.Ask(host, line, port, pause, source);
        noteFailure(answer);
        return answer;
    };
    const auto section = [&](const QByteArray& host, QByteArrayView reply, const ServerAnswer& from) {
        WriteSection(named, host, reply, from);
    };

    // The regional registry's RDAP server, where the bootstrap names one; its block when it answered.
    const auto fromRdap = [&]() -> std::optional<QByteArray> {
        const RdapNetworkRecord rdap = m_rdap.NetworkRecord(address, prefix);
        if (!rdap.Asked)
            return std::nullopt;
        if (rdap.Answer.Failure != ExchangeFailure::None) {
            noteFailure(rdap.Answer);
            return std::nullopt;
        }
        section(rdap.Answer.Host + texts::kRdapSourceSuffix, rdap.Text, rdap.Answer);
        return ExtractCidr(rdap.Text);
    };
    // IPv6 networks take RDAP first where the user asked for it; IPv4 networks keep port 43 first in every mode.
    const bool rdapFirst = address.contains(':') && m_options.Rdap == RdapUse::First;
    if (rdapFirst) {
        if (const std::optional<QByteArray> rdapBlock = fromRdap())
            return *rdapBlock;
    }

    ServerAnswer arin = ask(arinWhois, query, texts::kArinWhoisPort, Pause::Yes, HostSource::Fixed);
    // ARIN not answering at all: RDAP stands in, unless it was asked already.
    if (!rdapFirst && arin.Reply.isEmpty() && arin.Failure != ExchangeFailure::None && !EndsAsking(arin.Failure)) {
        if (const std::optional<QByteArray> rdapBlock = fromRdap())
            return *rdapBlock;
    }
    if (!arin.Reply.isEmpty()) {
        // A list of networks: the last one listed is the most specific; ask for it by handle.
        const QByteArray handle = PickNetHandle(arin.Reply);
        if (!handle.isEmpty()) {
            const ServerAnswer record = ask(arinWhois, handle, texts::kArinWhoisPort, Pause::Yes, HostSource::Fixed);
            if (!record.Reply.isEmpty())
                arin = record;
        }
    }

    if (!arin.Reply.isEmpty()) {
        const QByteArray reply = filter ? FilterArinComments(arin.Reply) : arin.Reply;
        block = ExtractCidr(reply);
        const ReferralTarget referral = ExtractReferralServer(reply);
        const THostMark profile = m_definitions.FindHostMark(referral.Host);
        // A registry of kind 1 holds the full record, so ARIN's summary of it is left out.
        if (referral.Host.isEmpty() || profile.Kind != 1)
            section(arinWhois, reply, arin);
        if (!referral.Host.isEmpty()) {
            const QByteArray host = LowerAscii(referral.Host);
            const int port = ReferralPort(referral.Port, texts::kWhoisPort);
            const ServerAnswer answer = ask(host, named, port, Pause::No, HostSource::Referral);
            const QByteArray text = RemovePrefixedLines(answer.Reply, texts::kCommentPrefix);
            if (!text.isEmpty())
                section(host, text, answer);
            return block;
        }
    }

    const ServerAnswer rwhois = ask(arinRWhois, query, texts::kArinRWhoisPort, Pause::Yes, HostSource::Fixed);
    const ReferralTarget referral = ExtractRWhoisReferral(rwhois.Reply);
    const QByteArray reply = filter ? FilterRWhoisNetwork(rwhois.Reply) : rwhois.Reply;
    if (!reply.isEmpty() && referral.Host.isEmpty())
        section(arinRWhois, reply, rwhois);
    if (!referral.Host.isEmpty()) {
        const int port = ReferralPort(referral.Port, texts::kArinRWhoisPort);
        if (port == 0)
            return block;
        const QByteArray host = LowerAscii(referral.Host);
        // RWhois servers find networks by address.
        const ServerAnswer answer = ask(host, query, port, Pause::No, HostSource::Referral);
        const QByteArray text = filter ? FilterRWhoisNetwork(answer.Reply) : answer.Reply;
        if (!text.isEmpty())
            section(host, text, answer);
    }
    return block;
}

} // namespace vesk
