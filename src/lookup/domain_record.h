/// The domain record: what the domain details wrote, handed to the contact search.
#pragma once

#include "whois/transport.h"

#include <QByteArray>

namespace vesk {

/// The record that the domain details lookup wrote: which server answered and its reply as written (after the
/// comment filtering that the options asked for). Host is empty when nothing was written, or when the record
/// came from RDAP (whose contacts are in the record itself).
struct DomainRecord
{
    QByteArray Host;
    HostSource Source = HostSource::Fixed;
    QByteArray Reply;
    int Exchange = -1; ///< the observer's number of the exchange the record came from; -1: none told
};

} // namespace vesk
