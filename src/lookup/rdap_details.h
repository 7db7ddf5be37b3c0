/// RDAP details: a domain's record and an address's network from the RDAP servers the bootstrap names.
#pragma once

#include "lookup/domain_record.h"
#include "lookup/server_asker.h"

#include <QByteArray>
#include <QList>
#include <functional>

class QUrl;

namespace vesk {

struct SearchOptions;

/// What the network's RDAP server gave for an address. Asked is false when RDAP is off or the bootstrap names no
/// server for the address; Text is the rendered record when the answer is a usable one.
struct RdapNetworkRecord
{
    bool Asked = false;
    ServerAnswer Answer;
    QByteArray Text;
};

/// The RDAP side of the domain and network details. Looks a server up in the bootstrap only when asked to, so a
/// search that port 43 answers never touches RDAP.
class RdapDetails
{
public:
    /// Borrowed.
    RdapDetails(ServerAsker& asker, const SearchOptions& options);

    /// The RDAP base URL for `domain`; empty when the options say never, there is no RDAP, or the bootstrap names
    /// no server for its TLD.
    QByteArray DomainBase(const QByteArray& domain);
    /// True when RDAP is in use for this search (so a TLD without any server is worth a line).
    bool InUse();

    /// Writes the domain details from RDAP at `base`. `firstAsked`: a 404 means "no match". `registry` (may be
    /// null): the port-43 registry record in hand, written when the registrar gives no answer. `failed` is set when
    /// the RDAP server gave no answer (its line is written then, unless a registry record stands in for it).
    DomainRecord DomainDetails(const QByteArray& domain, const QByteArray& base, bool firstAsked,
                               const DomainRecord* registry, bool& failed);
    /// Asks the RDAP server of the regional registry the address bootstrap names for `address`; writes nothing.
    /// `object` (empty: the address) is what is asked for at that server, e.g. a prefix holding the address.
    RdapNetworkRecord NetworkRecord(const QByteArray& address, const QByteArray& object = QByteArray());
    /// Asks the RDAP servers `bases` (of the AS number bootstrap, in failover order) for AS number `number`;
    /// writes nothing. Not asked when RDAP is not in use or `bases` is empty.
    RdapNetworkRecord AutnumRecord(uint32_t number, const QList<QByteArray>& bases);

private:
    /// The base URLs of the service that `base` (from DomainBase) belongs to, `base` first.
    QList<QByteArray> ServiceUrls(const QByteArray& base) const;
    /// Asks for `object` at each of a service's `bases` in turn until one answers or fails in a way the next cannot
    /// mend; gives the last exchange and the URL it asked (`asked`).
    ServerAnswer AskService(const QList<QByteArray>& bases, const char* path, const QByteArray& object, bool firstAsked,
                            const std::function<bool(const RdapAnswer&)>& usable, RdapAnswer& parsed, QUrl& asked);
    /// Writes the RDAP record `text` that `from` gave under the source box of its host.
    void WriteRdapRecord(const QByteArray& domain, const ServerAnswer& from, const QByteArray& text);
    /// Writes the port-43 registry record in hand where the registrar's record would have stood.
    DomainRecord WriteRegistryRecord(const QByteArray& domain, const DomainRecord& registry);

    ServerAsker& m_asker;
    const SearchOptions& m_options;
    QList<QByteArray> m_serviceUrls; ///< of the domain DomainBase last looked up
};

} // namespace vesk
