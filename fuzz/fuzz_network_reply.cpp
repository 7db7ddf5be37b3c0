// The network reply operations on arbitrary replies: the single-pass versions must equal the literal models,
// and the extracted values must keep their shape.

#include "fuzz_check.h"
#include "support/reference_models.h"
#include "whois/reply_parsing.h"

namespace {

constexpr qsizetype kModelLimit = 64 * 1024;

bool AllDigits(const QByteArray& text)
{
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return !text.isEmpty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vesk;
    const QByteArrayView reply = fuzz::Bytes(data, size);

    const QByteArray handle = PickNetHandle(reply);
    const QByteArray filtered = FilterArinComments(reply);
    VESK_FUZZ_CHECK(!filtered.contains("Comment: "), "FilterArinComments leaves no remark");
    if (reply.size() <= kModelLimit) {
        VESK_FUZZ_CHECK(handle == model::PickNetHandle(reply), "PickNetHandle equals its model");
        VESK_FUZZ_CHECK(filtered == model::FilterArinComments(reply), "FilterArinComments equals its model");
    }
    VESK_FUZZ_CHECK(handle.isEmpty()
                        || ((handle.startsWith("NET-") || handle.startsWith("NET6-")) && !handle.contains(')')),
                    "handle shape");

    const QByteArray cidr = ExtractCidr(reply);
    VESK_FUZZ_CHECK(!cidr.contains('\r') && !cidr.contains('\n') && !cidr.contains(' '), "CIDR on one line");
    VESK_FUZZ_CHECK(cidr.isEmpty() || reply.contains(cidr), "CIDR taken from the reply");

    const ReferralTarget whois = ExtractReferralServer(reply);
    VESK_FUZZ_CHECK(AllDigits(whois.Port), "WHOIS referral port is digits");
    VESK_FUZZ_CHECK(!whois.Host.contains('\r') && !whois.Host.contains('\n'), "WHOIS referral host on one line");

    const ReferralTarget rwhois = ExtractRWhoisReferral(reply);
    VESK_FUZZ_CHECK(!rwhois.Host.contains(':') && !rwhois.Port.contains('/'), "RWhois referral split");
    for (const char c : rwhois.Host)
        VESK_FUZZ_CHECK(c < 'A' || c > 'Z', "RWhois referral host lower-cased");
    return 0;
}
