#include "rdap/bootstrap_registry.h"

#include "whois/ip_address.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace vesk {

namespace {

QByteArray LowerAscii(QByteArrayView text)
{
    QByteArray out(text.data(), text.size());
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

QByteArray WithSlash(const QByteArray& url)
{
    return url.endsWith('/') ? url : url + '/';
}

// The service's base URLs in the order listed: its https ones, or its http ones when it lists no https one, so
// that moving on to the next never leaves https.
QList<QByteArray> PickBaseUrls(const QJsonArray& urls)
{
    QList<QByteArray> https;
    QList<QByteArray> http;
    for (const QJsonValue value : urls) {
        const QByteArray url = value.toString().trimmed().toUtf8();
        const QByteArray scheme = LowerAscii(url.left(8));
        if (scheme.startsWith("https://") && url.size() > 8)
            https.append(WithSlash(url));
        else if (scheme.startsWith("http://") && url.size() > 7)
            http.append(WithSlash(url));
    }
    QList<QByteArray> unique;
    for (const QByteArray& url : https.isEmpty() ? http : https) {
        if (!unique.contains(url))
            unique.append(url);
    }
    return unique;
}

// Calls take(entries, baseUrls) for every well-formed service of the registry in `json`.
template <typename Take> void ForEachService(QByteArrayView json, Take take)
{
    const QJsonDocument document = QJsonDocument::fromJson(json.toByteArray());
    const QJsonArray services = document.object().value(u"services").toArray();
    for (const QJsonValue service : services) {
        const QJsonArray pair = service.toArray();
        if (pair.size() < 2)
            continue;
        const QList<QByteArray> baseUrls = PickBaseUrls(pair.at(1).toArray());
        if (!baseUrls.isEmpty())
            take(pair.at(0).toArray(), baseUrls);
    }
}

bool ParseDecimal(QByteArrayView text, int maxDigits, uint32_t& value)
{
    if (text.isEmpty() || text.size() > maxDigits)
        return false;
    uint32_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<uint32_t>(c - '0');
    }
    value = number;
    return true;
}

// A decimal AS number of at most 10 digits that fits 32 bits.
bool ParseAsNumber(QByteArrayView text, uint64_t& value)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    uint64_t number = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<uint64_t>(c - '0');
    }
    value = number;
    return number <= 0xFFFFFFFFU;
}

uint32_t PrefixMask(int length)
{
    return length == 0 ? 0 : ~uint32_t(0) << (32 - length);
}

// `address` with every bit after the first `length` cleared.
std::array<uint8_t, 16> MaskIPv6(const std::array<uint8_t, 16>& address, int length)
{
    std::array<uint8_t, 16> masked {};
    for (int i = 0; i < 16; ++i) {
        const int bits = std::clamp(length - 8 * i, 0, 8);
        const auto mask = static_cast<uint8_t>(bits == 0 ? 0 : 0xFF << (8 - bits));
        masked[static_cast<size_t>(i)] = address[static_cast<size_t>(i)] & mask;
    }
    return masked;
}

} // namespace

DomainBootstrap ParseDomainBootstrap(QByteArrayView json)
{
    DomainBootstrap registry;
    ForEachService(json, [&registry](const QJsonArray& entries, const QList<QByteArray>& baseUrls) {
        for (const QJsonValue entry : entries) {
            QByteArray name = LowerAscii(entry.toString().trimmed().toUtf8());
            while (name.startsWith('.'))
                name.remove(0, 1);
            while (name.endsWith('.'))
                name.chop(1);
            if (name.isEmpty() || registry.BaseUrls.contains(name))
                continue;
            registry.BaseUrls.insert(name, baseUrls.first());
            if (baseUrls.size() > 1)
                registry.MoreUrls.insert(name, baseUrls.mid(1));
        }
    });
    return registry;
}

AddressBootstrap ParseAddressBootstrap(QByteArrayView json)
{
    AddressBootstrap registry;
    ForEachService(json, [&registry](const QJsonArray& entries, const QList<QByteArray>& baseUrls) {
        for (const QJsonValue entry : entries) {
            const QByteArray block = entry.toString().trimmed().toUtf8();
            const qsizetype slash = block.indexOf('/');
            const int64_t network = slash < 0 ? -1 : ParseIPv4(QByteArrayView(block).first(slash), IPv4Form::Strict);
            uint32_t length = 0;
            if (network < 0 || !ParseDecimal(QByteArrayView(block).sliced(slash + 1), 2, length) || length > 32)
                continue;
            const int prefix = static_cast<int>(length);
            registry.Blocks.append(AddressBlock { static_cast<uint32_t>(network) & PrefixMask(prefix), prefix,
                                                  baseUrls.first(), baseUrls.mid(1) });
        }
    });
    // Stable, so of two equal blocks the one listed first wins.
    std::stable_sort(registry.Blocks.begin(), registry.Blocks.end(),
                     [](const AddressBlock& a, const AddressBlock& b) { return a.PrefixLength > b.PrefixLength; });
    return registry;
}

IPv6Bootstrap ParseIPv6Bootstrap(QByteArrayView json)
{
    IPv6Bootstrap registry;
    ForEachService(json, [&registry](const QJsonArray& entries, const QList<QByteArray>& baseUrls) {
        for (const QJsonValue entry : entries) {
            const QByteArray block = entry.toString().trimmed().toUtf8();
            const qsizetype slash = block.indexOf('/');
            const std::optional<IPv6Bytes> network
                = slash < 0 ? std::nullopt : ParseIPv6(QByteArrayView(block).first(slash));
            uint32_t length = 0;
            if (!network || !ParseDecimal(QByteArrayView(block).sliced(slash + 1), 3, length) || length > 128)
                continue;
            const int prefix = static_cast<int>(length);
            registry.Blocks.append(IPv6Block { MaskIPv6(*network, prefix), prefix, baseUrls.first(), baseUrls.mid(1) });
        }
    });
    std::stable_sort(registry.Blocks.begin(), registry.Blocks.end(),
                     [](const IPv6Block& a, const IPv6Block& b) { return a.PrefixLength > b.PrefixLength; });
    return registry;
}

AsnBootstrap ParseAsnBootstrap(QByteArrayView json)
{
    AsnBootstrap registry;
    ForEachService(json, [&registry](const QJsonArray& entries, const QList<QByteArray>& baseUrls) {
        for (const QJsonValue entry : entries) {
            const QByteArray range = entry.toString().trimmed().toUtf8();
            const qsizetype dash = range.indexOf('-');
            const QByteArrayView first = dash < 0 ? QByteArrayView(range) : QByteArrayView(range).first(dash);
            const QByteArrayView last = dash < 0 ? QByteArrayView(range) : QByteArrayView(range).sliced(dash + 1);
            uint64_t low = 0;
            uint64_t high = 0;
            if (!ParseAsNumber(first, low) || !ParseAsNumber(last, high) || low > high)
                continue;
            registry.Ranges.append(AsnRange { static_cast<uint32_t>(low), static_cast<uint32_t>(high), baseUrls.first(),
                                              baseUrls.mid(1) });
        }
    });
    return registry;
}

QList<QByteArray> FindDomainBaseUrls(const DomainBootstrap& registry, QByteArrayView domain)
{
    QByteArray name = LowerAscii(domain);
    while (name.endsWith('.'))
        name.chop(1);
    // Every suffix that starts at a label, longest first.
    qsizetype start = 0;
    while (start < name.size()) {
        const QByteArray entry = name.mid(start);
        const auto found = registry.BaseUrls.constFind(entry);
        if (found != registry.BaseUrls.constEnd())
            return QList<QByteArray> { found.value() } + registry.MoreUrls.value(entry);
        const qsizetype dot = name.indexOf('.', start);
        if (dot < 0)
            break;
        start = dot + 1;
    }
    return {};
}

QByteArray FindDomainBaseUrl(const DomainBootstrap& registry, QByteArrayView domain)
{
    return FindDomainBaseUrls(registry, domain).value(0);
}

QList<QByteArray> FindAddressBaseUrls(const AddressBootstrap& registry, QByteArrayView address)
{
    const int64_t parsed = ParseIPv4(address, IPv4Form::Strict);
    if (parsed < 0)
        return {};
    const auto value = static_cast<uint32_t>(parsed);
    for (const AddressBlock& block : registry.Blocks) {
        if ((value & PrefixMask(block.PrefixLength)) == block.Network)
            return QList<QByteArray> { block.BaseUrl } + block.MoreUrls;
    }
    return {};
}

QByteArray FindAddressBaseUrl(const AddressBootstrap& registry, QByteArrayView address)
{
    return FindAddressBaseUrls(registry, address).value(0);
}

QList<QByteArray> FindIPv6BaseUrls(const IPv6Bootstrap& registry, QByteArrayView address)
{
    const std::optional<IPv6Bytes> parsed = ParseIPv6(address);
    if (!parsed)
        return {};
    for (const IPv6Block& block : registry.Blocks) {
        if (MaskIPv6(*parsed, block.PrefixLength) == block.Network)
            return QList<QByteArray> { block.BaseUrl } + block.MoreUrls;
    }
    return {};
}

QList<QByteArray> FindAsnBaseUrls(const AsnBootstrap& registry, uint32_t number)
{
    for (const AsnRange& range : registry.Ranges) {
        if (number >= range.First && number <= range.Last)
            return QList<QByteArray> { range.BaseUrl } + range.MoreUrls;
    }
    return {};
}

bool IsInstallable(const DomainBootstrap& registry)
{
    return registry.BaseUrls.size() >= kMinBootstrapDomains;
}

bool IsInstallable(const AddressBootstrap& registry)
{
    return registry.Blocks.size() >= kMinBootstrapBlocks;
}

bool IsInstallable(const IPv6Bootstrap& registry)
{
    return registry.Blocks.size() >= kMinBootstrapIPv6Blocks;
}

bool IsInstallable(const AsnBootstrap& registry)
{
    return registry.Ranges.size() >= kMinBootstrapAsnRanges;
}

} // namespace vesk
