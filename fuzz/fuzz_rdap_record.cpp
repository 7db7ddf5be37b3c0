// RDAP answers of any content: reading, the domain and network records as text, the registrar link and the
// bootstrap registries must never crash, and the text must stay within its bound with one value per line.

#include "fuzz_check.h"
#include "rdap/bootstrap_registry.h"
#include "rdap/domain_text.h"
#include "rdap/network_text.h"
#include "rdap/rdap_answer.h"
#include "rdap/text_lines.h"

namespace {

void CheckText(const QByteArray& text)
{
    VESK_FUZZ_CHECK(text.size() <= vesk::kMaxRdapTextBytes, "text within its bound");
    // CR LF separates lines; no other line break may come from a value.
    const QByteArray joined = QByteArray(text).replace("\r\n", "");
    VESK_FUZZ_CHECK(!joined.contains('\r') && !joined.contains('\n'), "one value per line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vesk;
    const QByteArrayView body = fuzz::Bytes(data, size);

    const RdapAnswer answer = ParseRdapAnswer(body);
    for (const bool filter : { false, true }) {
        const QByteArray domain = RenderDomainRecord(answer, filter);
        const QByteArray network = RenderNetworkRecord(answer, filter);
        CheckText(domain);
        CheckText(network);
        VESK_FUZZ_CHECK(answer.Kind == RdapAnswerKind::Domain || domain.isEmpty(), "domain text only for a domain");
        VESK_FUZZ_CHECK(answer.Kind == RdapAnswerKind::IpNetwork || network.isEmpty(),
                        "network text only for a network");
    }
    const QUrl link = PickRegistrarLink(answer);
    VESK_FUZZ_CHECK(link.isEmpty() || link.scheme() == u"https" || link.scheme() == u"http",
                    "registrar link is http(s)");

    const DomainBootstrap domains = ParseDomainBootstrap(body);
    for (auto it = domains.BaseUrls.cbegin(); it != domains.BaseUrls.cend(); ++it) {
        VESK_FUZZ_CHECK(it.value().endsWith('/'), "base URL ends in /");
        VESK_FUZZ_CHECK(FindDomainBaseUrl(domains, it.key()) == it.value(), "entry finds itself");
    }
    const AddressBootstrap addresses = ParseAddressBootstrap(body);
    for (const AddressBlock& block : addresses.Blocks)
        VESK_FUZZ_CHECK(block.PrefixLength >= 0 && block.PrefixLength <= 32 && block.BaseUrl.endsWith('/'),
                        "block shape");
    return 0;
}
