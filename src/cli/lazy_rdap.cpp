#include "cli/lazy_rdap.h"

#include "rdap/rdap_client.h"

namespace vesk {

SharedRdapBootstrap::SharedRdapBootstrap(Loader load)
    : m_load(std::move(load))
{ }

SharedRdapBootstrap::SharedRdapBootstrap(const RdapBootstrap* given)
    : m_given(given)
{ }

const RdapBootstrap* SharedRdapBootstrap::Get()
{
    if (m_given != nullptr)
        return m_given;
    if (!m_load)
        return nullptr;
    std::call_once(m_once, [this] { m_loaded = m_load(); });
    return &*m_loaded;
}

LazyRdapSource::LazyRdapSource(SharedRdapBootstrap* bootstrap, RdapTransport* given, TransportMaker make)
    : m_bootstrap(bootstrap)
    , m_make(std::move(make))
    , m_given(given)
{ }

LazyRdapSource::~LazyRdapSource() = default;

bool LazyRdapSource::CanAsk() const
{
    return m_bootstrap != nullptr && (m_given != nullptr || m_make);
}

RdapTransport* LazyRdapSource::Transport()
{
    if (!CanAsk())
        return nullptr;
    if (m_given != nullptr)
        return m_given;
    if (!m_made)
        m_made = m_make();
    return m_made.get();
}

const RdapBootstrap* LazyRdapSource::Bootstrap()
{
    // Without a transport the bootstrap is never read: the reports use port 43 only.
    return CanAsk() ? m_bootstrap->Get() : nullptr;
}

} // namespace vesk
