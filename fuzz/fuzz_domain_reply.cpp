// The domain reply operations on arbitrary replies: the single-pass deletions must equal the literal
// repeated-deletion models, and every operation must keep its shape (CR LF breaks, values on one line, ...).
// Input: one selector byte, then the reply. With the selector's top bit set, the reply's first line (at most 16
// bytes) is the prefix and token instead of one from the fixed list.

#include "defs/definition_tables.h"
#include "fuzz_check.h"
#include "support/reference_models.h"
#include "whois/reply_parsing.h"

namespace {

const QByteArray kPrefixes[] = { "%", "#", "%%", "", "a\r", "\r\n%", "%\r", "\r" };
const QByteArray kTokens[] = { "domain:", "contact:", "network:", "aa", "aba", "a" };

// The models are quadratic; beyond this size only the properties are checked.
constexpr qsizetype kModelLimit = 64 * 1024;

bool WellFormedBreaks(const QByteArray& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
            return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;
    }
    return true;
}

bool IsTrimmed(const QByteArray& text)
{
    return text.isEmpty() || (static_cast<uint8_t>(text.front()) > 32 && static_cast<uint8_t>(text.back()) > 32);
}

const vesk::DefinitionTables& Definitions()
{
    static const vesk::DefinitionTables definitions = [] {
        vesk::DefinitionTables d;
        d.SetTldRows({ { "com", "", "" }, { "net", "", "" }, { "org", "", "" }, { "example", "", "" } });
        return d;
    }();
    return definitions;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace vesk;
    if (size == 0)
        return 0;
    const uint8_t selector = data[0];
    QByteArrayView reply = fuzz::Bytes(data + 1, size - 1);

    QByteArray prefix = kPrefixes[selector % std::size(kPrefixes)];
    QByteArray token = kTokens[(selector >> 3) % std::size(kTokens)];
    if (selector & 0x80) {
        const qsizetype lf = reply.indexOf('\n');
        const qsizetype cut = lf < 0 ? qMin<qsizetype>(reply.size(), 16) : qMin<qsizetype>(lf, 16);
        prefix = token = reply.first(cut).toByteArray();
        reply = reply.sliced(cut);
    }

    const QByteArray lines = RemovePrefixedLines(reply, prefix);
    const bool oneLinePrefix = !prefix.contains('\r') && !prefix.contains('\n');
    VESK_FUZZ_CHECK(WellFormedBreaks(lines), "RemovePrefixedLines leaves only CR LF breaks");
    VESK_FUZZ_CHECK(IsTrimmed(lines), "RemovePrefixedLines trims");
    // (The first line is not checked: trimming may bare a prefix that followed blanks.)
    if (!prefix.isEmpty() && oneLinePrefix)
        VESK_FUZZ_CHECK(!lines.contains("\r\n" + prefix), "no later line keeps the prefix");

    const QByteArray removed = RemoveAll(reply, token);
    if (!token.isEmpty())
        VESK_FUZZ_CHECK(!removed.contains(token), "RemoveAll leaves no token");

    if (reply.size() <= kModelLimit) {
        // A prefix holding a line break matches no line: the text only gets its breaks normalised and is trimmed.
        const QByteArray modelLines = oneLinePrefix ? model::RemovePrefixedLines(reply, prefix)
                                                    : model::Trim(model::NormaliseLineBreaks(reply.toByteArray()));
        VESK_FUZZ_CHECK(lines == modelLines, "RemovePrefixedLines equals its model");
        VESK_FUZZ_CHECK(removed == model::RemoveAll(reply, token), "RemoveAll equals its model");
    }

    THostMark profile;
    profile.Host = "whois.example.com";
    profile.StartMark = selector & 1 ? QByteArray("3CRLF") : token;
    profile.EndMark = prefix;
    profile.QueryPrefix = token;
    const QByteArray cut = TrimByHostMark(profile, reply);
    VESK_FUZZ_CHECK(WellFormedBreaks(cut) && IsTrimmed(cut), "TrimByHostMark shape");
    VESK_FUZZ_CHECK(IsTrimmed(BuildDomainQuery(profile, reply)), "BuildDomainQuery trims");

    const QByteArray filtered = FilterRWhoisReply(reply);
    if (IsRWhoisReply(reply))
        VESK_FUZZ_CHECK(!filtered.contains("domain:"), "FilterRWhoisReply drops domain:");

    const auto hasKnownTld = [](QByteArrayView host) { return Definitions().HasKnownTld(host); };
    const QByteArray registrar = ExtractWhoisServer(reply, hasKnownTld);
    VESK_FUZZ_CHECK(!registrar.contains('\n'), "ExtractWhoisServer stays on its line");
    VESK_FUZZ_CHECK(registrar.isEmpty() || Definitions().HasKnownTld(registrar), "ExtractWhoisServer known TLD");

    const QByteArray value = ExtractLabelValue(reply, token);
    VESK_FUZZ_CHECK(!value.contains('\r') && !value.contains('\n') && IsTrimmed(value), "ExtractLabelValue shape");
    return 0;
}
