/// RDAP made on first need: the bootstrap read once for a whole run, each search's transport at its first exchange.
#pragma once

#include "lookup/rdap_source.h"
#include "rdap/bootstrap_registry.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace vesk {

/// The RDAP bootstrap of a run, read by whichever search needs it first (from any thread) and then shared. A port-43
/// query never needs it, and reading the registries costs more than the rest of such a query's start.
class SharedRdapBootstrap
{
public:
    using Loader = std::function<RdapBootstrap()>;

    /// Read through `load` on first need; an empty loader means there is no bootstrap (port 43 only).
    explicit SharedRdapBootstrap(Loader load);
    /// One that exists already (borrowed); null: there is none.
    explicit SharedRdapBootstrap(const RdapBootstrap* given);

    /// The registries, read now if not yet; null when there are none. Safe from several threads at once; a loader
    /// that throws is tried again by the next caller.
    const RdapBootstrap* Get();

private:
    Loader m_load;
    const RdapBootstrap* m_given = nullptr;
    std::once_flag m_once;
    std::optional<RdapBootstrap> m_loaded;
};

/// One search thread's RDAP source: the run's shared bootstrap and a transport of its own, made right before the
/// first exchange on the thread that asks (its network access belongs to that thread).
class LazyRdapSource final : public RdapSource
{
public:
    using TransportMaker = std::function<std::unique_ptr<RdapTransport>()>;

    /// The transport `given` (borrowed), else the one `make` makes; without either, or without `bootstrap`: no RDAP.
    LazyRdapSource(SharedRdapBootstrap* bootstrap, RdapTransport* given, TransportMaker make = {});
    ~LazyRdapSource() override;

    RdapTransport* Transport() override;
    const RdapBootstrap* Bootstrap() override;

private:
    bool CanAsk() const;

    SharedRdapBootstrap* m_bootstrap;
    TransportMaker m_make;
    RdapTransport* m_given = nullptr;
    std::unique_ptr<RdapTransport> m_made;
};

} // namespace vesk
