#include "whois/reply_parsing.h"

#include "whois/host_text.h"

// Replies are untrusted bytes of any size (several MiB is possible). The operations that delete repeatedly
// ("remove the first occurrence, search again from the start") are written as single passes that give the same
// text, so a large reply costs linear time instead of quadratic.

namespace vesk {

namespace {

// First occurrence of `needle` at or after `from`; -1 when absent. An empty needle is never found.
qsizetype Find(QByteArrayView text, QByteArrayView needle, qsizetype from = 0)
{
    if (needle.isEmpty() || from > text.size())
        return -1;
    return text.indexOf(needle, from);
}

qsizetype FindChar(QByteArrayView text, char c, qsizetype from = 0)
{
    if (from >= text.size())
        return -1;
    return text.indexOf(c, from);
}

// Position of the first CR or LF at or after `from`, or the end of the text.
qsizetype LineEnd(QByteArrayView text, qsizetype from)
{
    qsizetype i = from;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n')
        ++i;
    return i;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// CR LF, a lone CR and a lone LF each become CR LF. The code pages in use here are single-byte or UTF-8, where
// no lead byte pairs with a CR or LF, so bytes need no pairing.
QByteArray NormaliseLineBreaks(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 8 + 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out.append("\r\n", 2);
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out.append("\r\n", 2);
        } else {
            out.append(c);
        }
    }
    return out;
}

// True when the top of `out` is `token`.
bool EndsWith(const QByteArray& out, QByteArrayView token)
{
    return out.size() >= token.size() && out.back() == token.back() && QByteArrayView(out).last(token.size()) == token;
}

} // namespace

QByteArray BuildDomainQuery(const THostMark& profile, QByteArrayView domain)
{
    const QByteArray line = profile.QueryPrefix + ' ' + TrimText(LowerAscii(domain)) + ' ' + profile.QuerySuffix;
    return TrimText(line);
}

QByteArray RemovePrefixedLines(QByteArrayView text, QByteArrayView prefix)
{
    // Once the breaks are CR LF, deleting "CR LF + prefix" up to the next CR, again and again from the start,
    // removes exactly the matching lines, since a prefix without breaks never spans two of them. One pass that
    // keeps no index of the lines does the same, so a reply of millions of short lines costs no more than its
    // own size again.
    const QByteArray body = NormaliseLineBreaks(text);
    QByteArray out;
    out.reserve(body.size());
    bool first = true;
    for (qsizetype start = 0;;) {
        const qsizetype cr = FindChar(body, '\r', start);
        const QByteArrayView line(body.constData() + start, (cr < 0 ? body.size() : cr) - start);
        // An empty prefix matches every line.
        if (!line.startsWith(prefix)) {
            if (!first)
                out.append("\r\n", 2);
            out.append(line);
            first = false;
        }
        if (cr < 0)
            break;
        start = cr + 2;
    }
    return TrimText(out);
}

QByteArray RemoveAll(QByteArrayView text, QByteArrayView token)
{
    if (token.isEmpty())
        return text.toByteArray();
    // Kept bytes act as a stack: when they end with the token, that is the first occurrence of the text as the
    // repeated deletion would see it at that moment, so popping it gives the same result, re-formed tokens
    // included.
    QByteArray out;
    out.reserve(text.size());
    for (const char c : text) {
        out.append(c);
        if (EndsWith(out, token))
            out.chop(token.size());
    }
    return out;
}

QByteArray TrimByHostMark(const THostMark& profile, QByteArrayView reply)
{
    QByteArray work = RemovePrefixedLines(reply, "%");
    if (profile.Host.isEmpty())
        return TrimText(work);

    const QByteArray start
        = QByteArrayView(profile.StartMark) == QByteArrayView("3CRLF") ? QByteArray("\r\n\r\n\r\n") : profile.StartMark;
    const qsizetype startAt = Find(work, start);
    if (startAt > 0)
        work.remove(0, startAt);

    const qsizetype endAt = Find(work, profile.EndMark);
    if (endAt >= 0)
        work.truncate(endAt);
    return TrimText(work);
}

bool IsRWhoisReply(QByteArrayView reply)
{
    return reply.contains("%rwhois V-1.5:");
}

QByteArray FilterRWhoisReply(QByteArrayView reply)
{
    QByteArray out = RemovePrefixedLines(reply, "%");
    if (IsRWhoisReply(reply))
        out = RemoveAll(out, "domain:");
    return out;
}

QByteArray ExtractWhoisServer(QByteArrayView reply, const std::function<bool(QByteArrayView host)>& hasKnownTld)
{
    // Registries that moved to the newer format name the registrar's host "Registrar WHOIS Server:".
    QByteArrayView label = "Whois Server:";
    qsizetype at = Find(reply, label);
    if (at < 0) {
        label = "Registrar WHOIS Server:";
        at = Find(reply, label);
    }
    if (at < 0)
        return {};
    // The byte after the colon (normally a blank) is skipped unseen; the value keeps a CR before the LF.
    const qsizetype start = at + label.size() + 1;
    if (start >= reply.size())
        return {};
    qsizetype end = FindChar(reply, '\n', start);
    if (end < 0)
        end = reply.size();
    QByteArray value = reply.sliced(start, end - start).toByteArray();
    if (value.isEmpty() || !hasKnownTld(value))
        return {};
    return value;
}

QByteArray ExtractLabelValue(QByteArrayView reply, QByteArrayView label)
{
    const qsizetype at = Find(reply, label);
    if (at < 0)
        return {};
    const qsizetype colon = FindChar(reply, ':', at + label.size());
    if (colon < 0)
        return {};
    const qsizetype start = colon + 1;
    return TrimText(reply.sliced(start, LineEnd(reply, start) - start));
}

QByteArray PickNetHandle(QByteArrayView reply)
{
    if (reply.contains("OrgName:"))
        return {};
    // Each handle runs from "(NET-" (IPv6 networks: "(NET6-") to the next ")" and is consumed whole (an inner
    // "(NET-" included) before the search goes on, so the last handle taken is the answer. A missing ")" ends the
    // handle at the end of the text.
    const QByteArrayView open = "(NET";
    QByteArray handle;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = Find(reply, open, from);
        if (at < 0)
            break;
        const QByteArrayView after = reply.sliced(at + open.size());
        if (!after.startsWith("-") && !after.startsWith("6-")) {
            from = at + open.size();
            continue;
        }
        qsizetype close = FindChar(reply, ')', at + open.size());
        if (close < 0)
            close = reply.size();
        handle = reply.sliced(at + 1, close - at - 1).toByteArray();
        from = close;
    }
    return handle;
}

QByteArray ExtractCidr(QByteArrayView reply)
{
    const qsizetype at = Find(reply, "CIDR:");
    if (at < 0)
        return {};
    // However wide the label column is padded, the value starts at the first non-blank on the label's line.
    qsizetype start = at + 5;
    while (start < reply.size() && IsBlank(reply[start]))
        ++start;
    qsizetype end = start;
    while (end < reply.size() && reply[end] != '\r' && reply[end] != '\n' && !IsBlank(reply[end]))
        ++end;
    return reply.sliced(start, end - start).toByteArray();
}

ReferralTarget ExtractReferralServer(QByteArrayView reply)
{
    ReferralTarget target { {}, QByteArrayLiteral("43") };
    const QByteArray text = TrimText(reply);
    const qsizetype at = Find(text, "ReferralServer:");
    if (at < 0)
        return target;
    // The scheme is not examined: the two bytes from the first "/" on (normally "//") are skipped.
    const qsizetype slash = FindChar(text, '/', at);
    if (slash < 0)
        return target;
    const qsizetype start = qMin(slash + 2, text.size());
    const QByteArray line = TrimText(QByteArrayView(text).sliced(start, LineEnd(text, start) - start));
    const qsizetype colon = line.indexOf(':');
    if (colon < 0) {
        target.Host = line;
        return target;
    }
    target.Host = TrimText(LowerAscii(QByteArrayView(line).first(colon)));
    qsizetype digits = colon + 1;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9')
        ++digits;
    if (digits > colon + 1)
        target.Port = line.sliced(colon + 1, digits - colon - 1);
    return target;
}

ReferralTarget ExtractRWhoisReferral(QByteArrayView reply)
{
    ReferralTarget target;
    const QByteArray text = TrimText(reply);
    const QByteArrayView label = "%referral rwhois:";
    const qsizetype at = Find(text, label);
    if (at < 0)
        return target;
    const QByteArrayView rest = QByteArrayView(text).sliced(qMin(at + label.size() + 2, text.size()));
    const qsizetype colon = rest.indexOf(':');
    if (colon < 0)
        return target;
    target.Host = TrimText(LowerAscii(rest.first(colon)));
    const QByteArrayView remainder = rest.sliced(colon + 1);
    const qsizetype slash = remainder.indexOf('/');
    if (slash >= 0)
        target.Port = remainder.first(slash).toByteArray();
    return target;
}

QByteArray FilterArinComments(QByteArrayView reply)
{
    const QByteArray text = RemovePrefixedLines(reply, "#");
    // As in RemoveAll, the kept bytes are a stack: once they end with the label, that is the first occurrence of
    // the text the repeated deletion would see, and the deletion runs on through the next LF of the input.
    const QByteArrayView label = "Comment: ";
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        out.append(text[i]);
        if (EndsWith(out, label)) {
            out.chop(label.size());
            const qsizetype lf = FindChar(text, '\n', i + 1);
            i = lf < 0 ? text.size() : lf;
        }
    }
    return out;
}

} // namespace vesk
