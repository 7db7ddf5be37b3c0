/// The report texts: every fixed text that the reports write or show.
#pragma once

#include "defs/scrambled_text.h"
#include "whois/transport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <initializer_list>

// Every fixed text that the reports write or show, in one place, so that a wording is changed once.
// A %s or %d in a text marks where FormatText (below) puts its next argument, as bytes taken verbatim: nothing
// is converted or formatted, so a number is passed already as text.

namespace vesk::texts {

// Worksheet boxes
inline constexpr char16_t kHeaderTopLeft = u'\u2552';
inline constexpr char16_t kHeaderTopRight = u'\u2555';
inline constexpr char16_t kHeaderBottomLeft = u'\u2558';
inline constexpr char16_t kHeaderBottomRight = u'\u255B';
inline constexpr char16_t kHeaderRule = u'\u2550';
inline constexpr char16_t kSourceTopLeft = u'\u250C';
inline constexpr char16_t kSourceTopRight = u'\u2510';
inline constexpr char16_t kSourceBottomLeft = u'\u2514';
inline constexpr char16_t kSourceBottomRight = u'\u2518';
inline constexpr char16_t kSourceRule = u'\u2500';
inline constexpr char16_t kBoxSide = u'\u2502';
inline constexpr const char* kSignature = "  by Vesk? {WHOIS In Details}  ";
inline constexpr const char* kSignatureDateFormat = "MMM dd, yyyy";
inline constexpr const char* kProductAddress = "https://github.com/vesk-whois/vesk";

// Status line
inline constexpr const char* kStatusConnecting = "Wait....  Connecting %s:%d for %s";
inline constexpr const char* kStatusResolving = "Wait....  Searching IP Addresses for %s";
inline constexpr const char* kStatusStopping = "Stopping Search Process, Please Wait ....";
inline constexpr const char* kStatusDone = "Done";

// Log
inline constexpr const char* kLogQuery = "Query: ";

// Report titles and lines
inline constexpr const char* kDomainReportTitle = "DOMAIN REPORT FOR: %s";
inline constexpr const char* kAddressReportTitle = "REPORT FOR IP Address: %s";
inline constexpr const char* kNetworkReportTitle = "REPORT FOR IP Network: %s";
inline constexpr const char* kAsReportTitle = "REPORT FOR AS Number: %s";
inline constexpr const char* kAsDetailsTitle = "AS DETAILS for ";
inline constexpr const char* kNoRegistryHoldsAs = "No regional registry holds %s.";
inline constexpr const char* kPlainQueryTitle = "QUERY FOR %s: %s";
inline constexpr const char* kTldLine = "TLD .%s is for %s.%s";
inline constexpr const char* kAddressesFor = "IP Address for %s";
inline constexpr const char* kDomainDetailsTitle = "DOMAIN DETAILS for ";
inline constexpr const char* kNetworkDetailsTitle = "NETWORK DETAILS for ";
inline constexpr const char* kContactDetailsTitle = "CONTACT DETAILS for ";
inline constexpr const char* kSourcePrefix = "source: ";
inline constexpr const char* kNoMatch = "No Match For Domain: %s";
inline constexpr const char* kDomainNameFor = "Domain Name for %s";
inline constexpr const char* kNoDomainNameFor = "No Domain Name found for %s";
inline constexpr const char* kWwwPrefix = "www.";
inline constexpr const char* kNoAnswer = "No answer from %s: %s";
inline constexpr const char* kReplyIncomplete = "[reply incomplete: %s]";
inline constexpr const char* kRdapSourceSuffix = " (RDAP)";
inline constexpr const char* kNoServerKnown = "No WHOIS or RDAP server is known for .%s";
inline constexpr const char* kCannotConvert = "Cannot convert %s to an ASCII name: %s.";

// RDAP modes as the settings store them
inline constexpr const char* kRdapModeFirst = "first";
inline constexpr const char* kRdapModeNever = "never";
inline constexpr const char* kRdapModeFallback = "fallback";
inline constexpr const char* kRdapDomainPath = "domain/";
inline constexpr const char* kRdapAddressPath = "ip/";
inline constexpr const char* kRdapAutnumPath = "autnum/";

/// Why a server gave no reply or only part of one: a token for scripts and logs, and the worksheet's text.
struct FailureReason
{
    ExchangeFailure Failure;
    const char* Token;
    const char* Text; ///< "%d" takes the seconds of a time-out
};

inline constexpr FailureReason kFailureReasons[] = {
    { ExchangeFailure::Refused, "refused", "connection refused" },
    { ExchangeFailure::Unreachable, "unreachable", "network unreachable" },
    { ExchangeFailure::NotResolved, "not-resolved", "host name not resolved" },
    { ExchangeFailure::Timeout, "timeout", "timed out after %d s" },
    { ExchangeFailure::Reset, "reset", "connection reset" },
    { ExchangeFailure::Closed, "closed", "closed without a reply" },
    { ExchangeFailure::Stopped, "stopped", "search stopped" },
    { ExchangeFailure::TooLarge, "too-large", "reply cut at 16 MiB" },
    { ExchangeFailure::TooSlow, "too-slow", "reply cut at 120 s" },
    { ExchangeFailure::ReferralRefused, "referral-refused", "referral to a local or private address refused" },
    { ExchangeFailure::HttpStatus, "http-%d", "HTTP %d %s" },
    { ExchangeFailure::Tls, "tls", "TLS: %s" },
    { ExchangeFailure::RateLimited, "rate-limited", "rate limited (HTTP 429)" },
    { ExchangeFailure::BadRdap, "bad-rdap", "not a valid RDAP answer" },
    { ExchangeFailure::Budget, "budget", "skipped: the search's 64 MiB reply budget is used up" },
    { ExchangeFailure::Deadline, "deadline", "search took longer than 10 min" },
};

// Errors
inline constexpr const char* kQueryTooLong
    = "The query is too long to search: it has %d characters, and at most 255 are accepted.";
/// The resolver's one failure message, kept scrambled like the program's other fixed messages.
inline constexpr auto kResolveFailed = Scramble<4>("Host name could not be resolved.");

// Reply labels the engine reads (the parsers hold the rest)
inline constexpr const char* kCommentPrefix = "%";
inline constexpr const char* kContactPrefix = "contact:";
inline constexpr const char* kNetworkPrefix = "network:";
inline constexpr const char* kRWhoisContactLabels[3] = { "Admin-Contact", "Tech-Contact", "Billing-Contact" };

// Servers
inline constexpr const char* kArinWhoisHost = "whois.arin.net";
inline constexpr int kArinWhoisPort = 43;
inline constexpr const char* kArinRWhoisHost = "rwhois.arin.net";
inline constexpr int kArinRWhoisPort = 4321;
inline constexpr int kWhoisPort = 43;

/// `pattern` with each "%s" or "%d" replaced, in order, by the next of `args` (bytes as they are); missing
/// arguments leave the rest empty, surplus ones are ignored. Texts are 8-bit, so no conversion takes place.
inline QByteArray FormatText(const char* pattern, std::initializer_list<QByteArrayView> args)
{
    const QByteArrayView text(pattern);
    QByteArray out;
    auto next = args.begin();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd')) {
            if (next != args.end())
                out.append(*next++);
            ++i;
        } else {
            out.append(text[i]);
        }
    }
    return out;
}

/// `text` without trailing blanks (an HTTP status without a reason phrase).
inline QByteArray TrimmedLine(QByteArray text)
{
    while (text.endsWith(' '))
        text.chop(1);
    return text;
}

/// The row of `failure` in kFailureReasons; null for ExchangeFailure::None.
inline const FailureReason* FindFailureReason(ExchangeFailure failure)
{
    for (const FailureReason& reason : kFailureReasons) {
        if (reason.Failure == failure)
            return &reason;
    }
    return nullptr;
}

/// The token of why `failure` ended early ("refused", "http-503", ...); empty when it did not.
inline QByteArray FailureToken(const ExchangeResult& failure)
{
    const FailureReason* reason = FindFailureReason(failure.Failure);
    if (reason == nullptr)
        return QByteArray();
    return FormatText(reason->Token, { QByteArray::number(failure.HttpStatus) });
}

/// The worksheet text of why `result` ended early ("timed out after 15 s", ...); empty when it did not.
inline QByteArray FailureText(const ExchangeResult& result)
{
    const FailureReason* reason = FindFailureReason(result.Failure);
    if (reason == nullptr)
        return QByteArray();
    switch (result.Failure) {
    case ExchangeFailure::HttpStatus:
        return TrimmedLine(FormatText(reason->Text, { QByteArray::number(result.HttpStatus), result.Detail }));
    case ExchangeFailure::Tls:
        return FormatText(reason->Text, { result.Detail });
    default:
        return FormatText(reason->Text, { QByteArray::number(result.TimeoutSeconds) });
    }
}

} // namespace vesk::texts
