#include "settings/settings_store.h"

#include "common/day_numbers.h"

#include <QSettings>
#include <QVariant>
#include <optional>
#include <variant>

namespace vesk {

namespace {

// A setting's field in TReg; its type is the setting's kind (flag, integer or text).
using Field = std::variant<bool TReg::*, int TReg::*, QString TReg::*>;

/// One stored value: where it lives, which field holds it, and its default in stored form.
struct Setting
{
    QLatin1StringView section;
    QLatin1StringView name;
    Field field;
    const char* fallback; ///< the default as stored; nullptr: today's day number
};

constexpr QLatin1StringView kSystem("System Settings");
constexpr QLatin1StringView kFont("Font");

// Read and written in this order, one row per value; nothing else names a key or a default.
const Setting kSettings[] = {
    { kSystem, QLatin1StringView("Filter Comments"), &TReg::FilterComments, "1" },
    { kSystem, QLatin1StringView("Clear Before Search"), &TReg::ClearBeforeSearch, "1" },
    { kSystem, QLatin1StringView("Search Contacts"), &TReg::SearchContacts, "1" },
    { kSystem, QLatin1StringView("Incl IP"), &TReg::InclIP, "1" },
    { kSystem, QLatin1StringView("Incl Domain"), &TReg::InclDomain, "1" },
    { kSystem, QLatin1StringView("Auto Update"), &TReg::AutoUpdate, "0" },
    { kSystem, QLatin1StringView("Directory"), &TReg::Directory, "" },
    { kSystem, QLatin1StringView("RDAP Mode"), &TReg::RdapMode, "fallback" },
    { kSystem, QLatin1StringView("Keep History"), &TReg::KeepHistory, "1" },
    { kSystem, QLatin1StringView("History Reports Per Query"), &TReg::HistoryReportsPerQuery, "100" },
    { kSystem, QLatin1StringView("History Size MiB"), &TReg::HistorySizeMiB, "1024" },
    // Today as the default: a first run must not start an automatic update at once.
    { kSystem, QLatin1StringView("Last Update"), &TReg::LastUpdate, nullptr },
    { kFont, QLatin1StringView("Name"), &TReg::FontName, TReg::kDefaultFontName.data() },
    { kFont, QLatin1StringView("Height"), &TReg::FontHeight, "-13" }, // kDefaultFontHeight,
    { kFont, QLatin1StringView("Color"), &TReg::FontColor, "0" },
    { kFont, QLatin1StringView("Style"), &TReg::FontStyle, "0" },
    { kFont, QLatin1StringView("Charset"), &TReg::FontCharset, "0" },
};

QString KeyOf(const Setting& setting)
{
    return setting.section + u'/' + setting.name;
}

// Every value is a string in the store; anything else (a list an INI line turned into, a binary value) counts
// as absent.
std::optional<QString> ReadText(const QSettings& store, const Setting& setting)
{
    const QVariant value = store.value(KeyOf(setting));
    if (!value.isValid() || value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<int> ToInteger(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

template <class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};
// Spelled out for compilers without aggregate deduction (clang 14).
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

// Sets the field of `setting` from `stored` when it is well-formed for the field's kind, else from the default.
// Flags are integers where any non-zero value is true.
void Assign(TReg& reg, const Setting& setting, const std::optional<QString>& stored, const QString& fallback)
{
    const auto integer = [&] {
        const std::optional<int> value = stored ? ToInteger(*stored) : std::nullopt;
        return value ? *value : ToInteger(fallback).value_or(0);
    };
    std::visit(Overloaded {
                   [&](bool TReg::*field) { reg.*field = integer() != 0; },
                   [&](int TReg::*field) { reg.*field = integer(); },
                   [&](QString TReg::*field) { reg.*field = stored.value_or(fallback); },
               },
               setting.field);
}

QString StoredForm(const TReg& reg, const Setting& setting)
{
    return std::visit(Overloaded {
                          [&](bool TReg::*field) { return reg.*field ? QStringLiteral("1") : QStringLiteral("0"); },
                          [&](int TReg::*field) { return QString::number(reg.*field); },
                          [&](QString TReg::*field) { return reg.*field; },
                      },
                      setting.field);
}

bool IsFlag(const Setting& setting)
{
    return std::holds_alternative<bool TReg::*>(setting.field);
}

enum StyleBits : int { kStrikeOut = 1, kUnderline = 2, kItalic = 4, kBold = 8 };

} // namespace

TReg::TReg(WriteBack writeBack, Clock clock)
    : TReg(std::make_unique<QSettings>(QStringLiteral("Ostberg"), QStringLiteral("Vesk?")), writeBack, std::move(clock))
{ }

TReg::TReg(std::unique_ptr<QSettings> store, WriteBack writeBack, Clock clock)
    : m_store(std::move(store))
    , m_writeBack(writeBack)
    , m_clock(std::move(clock))
{
    ReadSettings();
}

TReg::~TReg()
{
    if (m_writeBack == WriteBack::AtExit)
        WriteSettings();
}

QString TReg::DefaultText(const char* fallback) const
{
    return fallback ? QString::fromLatin1(fallback) : QString::number(DayNumber(m_clock().date()));
}

void TReg::ReadSettings()
{
    for (const Setting& setting : kSettings)
        Assign(*this, setting, ReadText(*m_store, setting), DefaultText(setting.fallback));
}

bool TReg::WriteSettings()
{
    for (const Setting& setting : kSettings)
        m_store->setValue(KeyOf(setting), StoredForm(*this, setting));
    // The store collects all values first and saves them together, so a refusing store loses no single value
    // ahead of the others; its failure is only noted.
    m_store->sync();
    return m_store->status() == QSettings::NoError;
}

bool TReg::Save()
{
    return m_writeBack == WriteBack::Never || WriteSettings();
}

void TReg::RestoreDefaultFlags()
{
    for (const Setting& setting : kSettings) {
        if (IsFlag(setting))
            Assign(*this, setting, std::nullopt, DefaultText(setting.fallback));
    }
}

FontStyles TReg::GetFontStyle() const
{
    FontStyles styles;
    styles.StrikeOut = (FontStyle & kStrikeOut) != 0;
    styles.Underline = (FontStyle & kUnderline) != 0;
    styles.Italic = (FontStyle & kItalic) != 0;
    styles.Bold = (FontStyle & kBold) != 0;
    return styles;
}

void TReg::SetFontStyle(const FontStyles& styles)
{
    FontStyle = 0;
    if (styles.StrikeOut)
        FontStyle += kStrikeOut;
    if (styles.Underline)
        FontStyle += kUnderline;
    if (styles.Italic)
        FontStyle += kItalic;
    if (styles.Bold)
        FontStyle += kBold;
}

} // namespace vesk
