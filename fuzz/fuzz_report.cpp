// Whole reports whose servers answer with arbitrary bytes. The input is cut into one reply per exchange, in the
// order the engine asks; a domain report and then an address report run on them. Whatever the replies hold,
// each report ends with "Done", hosts taken from replies are never asked as fixed servers, and the worksheet
// holds no more than what arrived plus the report's own texts.

#include "common/event_wait.h"
#include "defs/definition_tables.h"
#include "fuzz_check.h"
#include "lookup/frontend.h"
#include "lookup/lookup_engine.h"
#include "settings/log_file.h"
#include "settings/settings_store.h"
#include "whois/transport.h"

#include <QDir>
#include <QSettings>
#include <memory>

namespace {

using namespace vesk;

// Cuts the input into replies; rare in real replies, yet each of its bytes may still occur alone.
constexpr QByteArrayView kSeparator("\0\xff\0", 3);
// A generous allowance per exchange for boxes, labels and the header.
constexpr qint64 kTextPerExchange = 2048;

const char* const kFixedHosts[] = { "whois.verisign-grs.com", "whois.crsnic.net", "whois.nic.uk",   "whois.nic.fr",
                                    "master.rwhois.net",      "whois.arin.net",   "rwhois.arin.net" };

const char* const kDomains[] = { "google.com", "example.fr", "example.test", "example.co.uk" };

bool IsFixedHost(const QByteArray& host)
{
    for (const char* fixed : kFixedHosts) {
        if (host == fixed)
            return true;
    }
    return false;
}

/// Hands out the input's pieces, one per exchange, then empty replies.
class PieceTransport : public WhoisTransport
{
public:
    void Reset(QList<QByteArrayView> pieces)
    {
        m_pieces = std::move(pieces);
        m_next = 0;
    }

    ExchangeResult Exchange(const QByteArray& host, int port, const QByteArray& query, HostSource source,
                            const StopRequest& stop) override
    {
        Q_UNUSED(port);
        Q_UNUSED(query);
        Q_UNUSED(stop);
        VESK_FUZZ_CHECK(source == HostSource::Referral || IsFixedHost(host),
                        "a host from a reply is asked as a referral");
        ++m_exchanges;
        ExchangeResult result;
        result.Reply = m_next < m_pieces.size() ? m_pieces[m_next++].toByteArray() : QByteArray();
        return result;
    }

    QList<uint32_t> ResolveIPv4(const QByteArray& host, const StopRequest& stop) override
    {
        Q_UNUSED(host);
        Q_UNUSED(stop);
        // Two addresses in one block and one outside it: the report skips the second when the block is known.
        return { 0x82424CDEu, 0x82420101u, 0x04020201u };
    }

    QList<IPv6Bytes> ResolveIPv6(const QByteArray& host, const StopRequest& stop, int budgetMs) override
    {
        Q_UNUSED(host);
        Q_UNUSED(stop);
        Q_UNUSED(budgetMs);
        // The same shape for IPv6: two addresses of one /32 and one outside it.
        return { *ParseIPv6("2a00:1450:4001:81c::200e"), *ParseIPv6("2a00:1450::1"), *ParseIPv6("2001:db8::7") };
    }

    QByteArray ReverseName(uint32_t address, const StopRequest& stop) override
    {
        Q_UNUSED(address);
        Q_UNUSED(stop);
        return QByteArrayLiteral("host.example.net");
    }

    QByteArray ReverseName6(const QByteArray& address, const StopRequest& stop) override
    {
        Q_UNUSED(address);
        Q_UNUSED(stop);
        return QByteArrayLiteral("host6.example.net");
    }

    int Exchanges() const { return m_exchanges; }
    void ClearCount() { m_exchanges = 0; }

private:
    QList<QByteArrayView> m_pieces;
    qsizetype m_next = 0;
    int m_exchanges = 0;
};

class CountingFrontend : public Frontend
{
public:
    void AppendLine(const QString& line) override { m_characters += line.size(); }
    void ClearLines() override { m_characters = 0; }
    void ShowStatus(const QString& text) override { m_status = text.toLocal8Bit(); }
    void ProcessPendingEvents() override { }
    QByteArray QueryText() const override { return m_query; }
    void SetQueryText(const QByteArray& text) override { m_query = text; }
    void SetBusy(bool busy) override { m_busy = busy; }

    qint64 Characters() const { return m_characters; }
    const QByteArray& Status() const { return m_status; }
    bool Busy() const { return m_busy; }

private:
    qint64 m_characters = 0;
    QByteArray m_status;
    QByteArray m_query;
    bool m_busy = false;
};

DefinitionTables FuzzDefinitions()
{
    DefinitionTables definitions;
    definitions.SetTldRows({
        { "com", "Commercial organizations", "whois.verisign-grs.com" },
        { "net", "Network providers", "whois.verisign-grs.com" },
        { "uk", "United Kingdom", "whois.nic.uk" },
        { "fr", "France", "whois.nic.fr" },
        { "test", "Testing", "master.rwhois.net" },
    });
    definitions.SetHostMarks({
        { "whois.verisign-grs.com", 2, "Domain Name:", ">>> Last update of whois database", "No match for", "domain",
          "" },
        { "whois.nic.uk", 2, "Domain name:", "WHOIS lookup made at", "This domain name has not been registered", "",
          "" },
        { "whois.nic.fr", 2, "domain:", "", "No entries found in the AFNIC Database", "", "" },
        { "whois.markmonitor.com", 3, "Domain Name:", ">>> Last update of WHOIS database", "", "", "" },
        { "whois.arin.net", 4, "", "", "", "", "" },
        { "whois.ripe.net", 1, "", "", "%ERROR:101: no entries found", "", "" },
        { "master.rwhois.net", 0, "3CRLF", "", "%error 230", "", "" },
    });
    return definitions;
}

struct World
{
    World()
        : Settings(std::make_unique<QSettings>(QDir::temp().filePath(QStringLiteral("vesk-fuzz-report.ini")),
                                               QSettings::IniFormat),
                   TReg::WriteBack::Never, [] { return QDateTime(QDate(2024, 3, 7), QTime(10, 30)); })
        // A folder that cannot exist keeps the log inactive: nothing reaches the disk.
        , Log(QStringLiteral("/nonexistent/vesk-fuzz"), QStringLiteral("vesk"))
        , Definitions(FuzzDefinitions())
        , Engine(Window, Log, Definitions, Transport, nullptr, Wait)
    {
        Options.PauseMilliseconds = 0;
    }

    TReg Settings;
    TLogFile Log;
    DefinitionTables Definitions;
    PieceTransport Transport;
    CountingFrontend Window;
    EventLoopWait Wait;
    LookupEngine Engine;
    SearchOptions Options;
};

void RunReport(World& world, const QByteArray& query, qint64 inputSize)
{
    world.Window.ClearLines();
    world.Transport.ClearCount();
    world.Window.SetQueryText(query);
    world.Engine.Search(world.Options.WithSettings(world.Settings));
    VESK_FUZZ_CHECK(world.Window.Status() == "Done", "the report ends with Done");
    VESK_FUZZ_CHECK(!world.Window.Busy(), "the busy cursor is restored");
    VESK_FUZZ_CHECK(world.Engine.StopFlag(), "the stop flag is set after the search");
    VESK_FUZZ_CHECK(world.Window.Characters() <= inputSize + kTextPerExchange * (world.Transport.Exchanges() + 4),
                    "the worksheet holds what arrived and the report's texts");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static World world;
    if (size == 0)
        return 0;
    const QByteArrayView input = fuzz::Bytes(data, size);
    const auto options = static_cast<uint8_t>(input[0]);
    world.Settings.FilterComments = (options & 0x01) != 0;
    world.Settings.SearchContacts = (options & 0x02) != 0;
    world.Settings.InclIP = (options & 0x04) != 0;
    world.Settings.InclDomain = (options & 0x08) != 0;
    world.Settings.ClearBeforeSearch = (options & 0x10) != 0;

    QList<QByteArrayView> pieces;
    QByteArrayView rest = input.sliced(1);
    for (;;) {
        const qsizetype at = rest.indexOf(kSeparator);
        if (at < 0) {
            pieces.append(rest);
            break;
        }
        pieces.append(rest.first(at));
        rest = rest.sliced(at + kSeparator.size());
    }
    world.Transport.Reset(pieces);

    RunReport(world, kDomains[(options >> 5) & 0x03], static_cast<qint64>(size));
    RunReport(world, QByteArrayLiteral("130.66.76.222"), static_cast<qint64>(size));
    return 0;
}
