/// Search options: everything one search reads besides the query itself.
#pragma once

#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <functional>

namespace vesk {

class ExchangeObserver;
class HostPacer;
class TReg;

/// When the domain and network details ask RDAP.
enum class RdapUse : uint8_t {
    Never, ///< port 43 only
    Fallback, ///< where port 43 has no server or no answer
    First, ///< wherever the bootstrap names a server; port 43 when RDAP gives no answer
};

/// The stored RDAP Mode text as a use: "first" and "never" (any case, blanks around ignored); anything else is
/// the fallback.
RdapUse RdapUseFromText(const QString& mode);

/// The most reply bytes one search holds; exchanges after it is used up are skipped.
inline constexpr qint64 kSearchReplyBudgetBytes = qint64 { 64 } * 1024 * 1024;
/// The longest a search may run; exchanges after it are skipped.
inline constexpr qint64 kSearchDeadlineMilliseconds = qint64 { 10 } * 60 * 1000;

/// What a search reads: the user's search settings, the pause before metered queries, and who hears of each
/// exchange and decides when it starts. A plain value; the engine keeps a copy for the length of a search.
struct SearchOptions
{
    bool ClearBeforeSearch = false;
    bool FilterComments = false;
    bool SearchContacts = false;
    bool InclIP = false; ///< resolve a domain's addresses and report their networks
    bool InclDomain = false; ///< name the domain of an address in the address report
    RdapUse Rdap = RdapUse::Fallback;
    /// The pause before the queries that servers meter (ARIN, contact handles); unused when a pacer is given.
    int PauseMilliseconds = 1100;
    ExchangeObserver* Observer = nullptr; ///< told about every exchange; null: nobody. Borrowed.
    HostPacer* Pacer = nullptr; ///< decides when each query starts instead of the fixed pause; null: the pause
    /// Once the search's replies add up to this many bytes, later exchanges are skipped (the reply that crosses
    /// the line is kept whole).
    qint64 ReplyBudgetBytes = kSearchReplyBudgetBytes;
    /// No exchange starts this long after the search began; one in progress ends by its own limits.
    qint64 DeadlineMilliseconds = kSearchDeadlineMilliseconds;
    /// Milliseconds on a steady clock, for the deadline; null: the system's.
    std::function<qint64()> SteadyClock;
    /// These options with the search settings and the RDAP mode taken from `settings`.
    SearchOptions WithSettings(const TReg& settings) const;
};

} // namespace vesk
