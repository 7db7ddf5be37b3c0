#include "settings/settings_store.h"

#include "common/day_numbers.h"

#include <QSettings>
#include <QVariant>

namespace vesk {

namespace {

const QString kSystemSection = QStringLiteral("System Settings");
const QString kFontSection = QStringLiteral("Font");

// Every value is a string in the store; anything else (a list an INI line turned into, a binary value) counts
// as absent.
bool ReadText(QSettings& store, const QString& section, const QString& name, QString& text)
{
    const QVariant value = store.value(section + u'/' + name);
    if (!value.isValid() || value.typeId() != QMetaType::QString)
        return false;
    text = value.toString();
    return true;
}

int ReadInteger(QSettings& store, const QString& section, const QString& name, int fallback)
{
    QString text;
    if (!ReadText(store, section, name, text))
        return fallback;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : fallback;
}

bool ReadBool(QSettings& store, const QString& section, const QString& name, bool fallback)
{
    return ReadInteger(store, section, name, fallback ? 1 : 0) != 0;
}

QString ReadString(QSettings& store, const QString& section, const QString& name, const QString& fallback)
{
    QString text;
    return ReadText(store, section, name, text) ? text : fallback;
}

void WriteText(QSettings& store, const QString& section, const QString& name, const QString& text)
{
    store.setValue(section + u'/' + name, text);
}

void WriteInteger(QSettings& store, const QString& section, const QString& name, int value)
{
    WriteText(store, section, name, QString::number(value));
}

void WriteBool(QSettings& store, const QString& section, const QString& name, bool value)
{
    WriteText(store, section, name, value ? QStringLiteral("1") : QStringLiteral("0"));
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

void TReg::ReadSettings()
{
    QSettings& s = *m_store;
    FilterComments = ReadBool(s, kSystemSection, QStringLiteral("Filter Comments"), true);
    ClearBeforeSearch = ReadBool(s, kSystemSection, QStringLiteral("Clear Before Search"), true);
    SearchContacts = ReadBool(s, kSystemSection, QStringLiteral("Search Contacts"), true);
    InclIP = ReadBool(s, kSystemSection, QStringLiteral("Incl IP"), true);
    InclDomain = ReadBool(s, kSystemSection, QStringLiteral("Incl Domain"), true);
    AutoUpdate = ReadBool(s, kSystemSection, QStringLiteral("Auto Update"), false);
    Directory = ReadString(s, kSystemSection, QStringLiteral("Directory"), QString());
    // Today as the default: a first run must not start an automatic update at once.
    LastUpdate = ReadInteger(s, kSystemSection, QStringLiteral("Last Update"), DayNumber(m_clock().date()));

    FontName = ReadString(s, kFontSection, QStringLiteral("Name"), kDefaultFontName);
    FontHeight = ReadInteger(s, kFontSection, QStringLiteral("Height"), kDefaultFontHeight);
    FontColor = ReadInteger(s, kFontSection, QStringLiteral("Color"), 0);
    FontStyle = ReadInteger(s, kFontSection, QStringLiteral("Style"), 0);
    FontCharset = ReadInteger(s, kFontSection, QStringLiteral("Charset"), 0);
}

bool TReg::WriteSettings()
{
    QSettings& s = *m_store;
    WriteBool(s, kSystemSection, QStringLiteral("Filter Comments"), FilterComments);
    WriteBool(s, kSystemSection, QStringLiteral("Clear Before Search"), ClearBeforeSearch);
    WriteBool(s, kSystemSection, QStringLiteral("Search Contacts"), SearchContacts);
    WriteBool(s, kSystemSection, QStringLiteral("Incl IP"), InclIP);
    WriteBool(s, kSystemSection, QStringLiteral("Incl Domain"), InclDomain);
    WriteBool(s, kSystemSection, QStringLiteral("Auto Update"), AutoUpdate);
    WriteText(s, kSystemSection, QStringLiteral("Directory"), Directory);
    WriteInteger(s, kSystemSection, QStringLiteral("Last Update"), LastUpdate);

    WriteText(s, kFontSection, QStringLiteral("Name"), FontName);
    WriteInteger(s, kFontSection, QStringLiteral("Height"), FontHeight);
    WriteInteger(s, kFontSection, QStringLiteral("Color"), FontColor);
    WriteInteger(s, kFontSection, QStringLiteral("Style"), FontStyle);
    WriteInteger(s, kFontSection, QStringLiteral("Charset"), FontCharset);

    // The store collects all values first and saves them together, so a refusing store loses no single value
    // ahead of the others; its failure is only noted.
    s.sync();
    return s.status() == QSettings::NoError;
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
