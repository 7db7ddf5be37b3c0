#include "defs/definition_tables.h"
#include "lookup/lookup_engine.h"
#include "lookup/report_texts.h"
#include "settings/settings_store.h"
#include "whois/host_text.h"
#include "whois/reply_parsing.h"

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

void LookupEngine::WriteNetworkSection(const QByteArray& address, const QByteArray& host, QByteArrayView reply)
{
    m_sheet.WriteSourceBox(QByteArray(texts::kNetworkDetailsTitle) + UpperAscii(address),
                           QByteArray(texts::kSourcePrefix) + host);
    WriteReply(reply);
}

QByteArray LookupEngine::LookupNetworkDetails(const QByteArray& address)
{
    const bool filter = m_settings.FilterComments;
    const QByteArray query = UpperAscii(address);
    const QByteArray arinWhois(texts::kArinWhoisHost);
    const QByteArray arinRWhois(texts::kArinRWhoisHost);
    QByteArray block;

    QByteArray reply = QueryServer(arinWhois, query, texts::kArinWhoisPort, Pause::Yes, HostSource::Fixed);
    if (!reply.isEmpty()) {
        // A list of networks: the last one listed is the most specific; ask for it by handle.
        const QByteArray handle = PickNetHandle(reply);
        if (!handle.isEmpty()) {
            const QByteArray record
                = QueryServer(arinWhois, handle, texts::kArinWhoisPort, Pause::Yes, HostSource::Fixed);
            if (!record.isEmpty())
                reply = record;
        }
    }

    if (!reply.isEmpty()) {
        if (filter)
            reply = FilterArinComments(reply);
        block = ExtractCidr(reply);
        const ReferralTarget referral = ExtractReferralServer(reply);
        const THostMark profile = m_definitions.FindHostMark(referral.Host);
        // A registry of kind 1 holds the full record, so ARIN's summary of it is left out.
        if (referral.Host.isEmpty() || profile.Kind != 1)
            WriteNetworkSection(address, arinWhois, reply);
        if (!referral.Host.isEmpty()) {
            const QByteArray host = LowerAscii(referral.Host);
            const int port = ReferralPort(referral.Port, texts::kWhoisPort);
            const QByteArray answer = RemovePrefixedLines(
                QueryServer(host, query, port, Pause::No, HostSource::Referral), texts::kCommentPrefix);
            if (!answer.isEmpty())
                WriteNetworkSection(address, host, answer);
            return block;
        }
    }

    reply = QueryServer(arinRWhois, query, texts::kArinRWhoisPort, Pause::Yes, HostSource::Fixed);
    const ReferralTarget referral = ExtractRWhoisReferral(reply);
    if (filter)
        reply = FilterRWhoisNetwork(reply);
    if (!reply.isEmpty() && referral.Host.isEmpty())
        WriteNetworkSection(address, arinRWhois, reply);
    if (!referral.Host.isEmpty()) {
        const int port = ReferralPort(referral.Port, texts::kArinRWhoisPort);
        if (port == 0)
            return block;
        const QByteArray host = LowerAscii(referral.Host);
        QByteArray answer = QueryServer(host, query, port, Pause::No, HostSource::Referral);
        if (filter)
            answer = FilterRWhoisNetwork(answer);
        if (!answer.isEmpty())
            WriteNetworkSection(address, host, answer);
    }
    return block;
}

} // namespace vesk
