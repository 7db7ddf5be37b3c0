/// The RDAP source: where the engine gets its RDAP transport and bootstrap, only when it needs them.
#pragma once

namespace vesk {

class RdapTransport;
struct RdapBootstrap;

/// Gives the RDAP transport and bootstrap on demand, so that a search that never reaches RDAP never builds a
/// network access manager nor reads the bootstrap files. The engine asks for the bootstrap right before it looks
/// a server up in it, and for the transport right before an RDAP exchange.
class RdapSource
{
public:
    virtual ~RdapSource() = default;
    /// The transport for the exchange about to start; null: RDAP cannot be asked (the exchange fails).
    virtual RdapTransport* Transport() = 0;
    /// The bootstrap registries; null: no RDAP at all (the reports use port 43 only).
    virtual const RdapBootstrap* Bootstrap() = 0;
};

/// A transport and bootstrap that exist already. Both borrowed; without either of them there is no RDAP.
class FixedRdapSource final : public RdapSource
{
public:
    FixedRdapSource() = default;
    FixedRdapSource(RdapTransport* transport, const RdapBootstrap* bootstrap)
        : m_transport(transport)
        , m_bootstrap(bootstrap)
    { }

    RdapTransport* Transport() override { return m_bootstrap != nullptr ? m_transport : nullptr; }
    const RdapBootstrap* Bootstrap() override { return m_transport != nullptr ? m_bootstrap : nullptr; }

private:
    RdapTransport* m_transport = nullptr;
    const RdapBootstrap* m_bootstrap = nullptr;
};

} // namespace vesk
