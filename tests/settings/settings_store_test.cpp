#include "settings/settings_store.h"
#include "support/fixed_clock.h"
#include "support/temp_settings.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace vesk {
namespace {

const QString kSystem = QStringLiteral("System Settings");
const QString kFont = QStringLiteral("Font");
// 14 January 2004 is day 38000.
const QDateTime kNow(QDate(2004, 1, 14), QTime(9, 5, 7));

class RegistryTest : public ::testing::Test
{
protected:
    std::unique_ptr<TReg> Open(TReg::WriteBack writeBack = TReg::WriteBack::AtExit)
    {
        return std::make_unique<TReg>(m_store.Open(), writeBack, test::FixedClock(kNow));
    }

    test::TempSettings m_store;
};

TEST_F(RegistryTest, FirstRunGivesDefaultsAndWritesEveryValueAsText)
{
    {
        auto reg = Open();
        EXPECT_TRUE(reg->FilterComments);
        EXPECT_TRUE(reg->ClearBeforeSearch);
        EXPECT_TRUE(reg->SearchContacts);
        EXPECT_TRUE(reg->InclIP);
        EXPECT_TRUE(reg->InclDomain);
        EXPECT_FALSE(reg->AutoUpdate);
        EXPECT_TRUE(reg->Directory.isEmpty());
        EXPECT_EQ(reg->RdapMode, QStringLiteral("fallback"));
        EXPECT_EQ(reg->LastUpdate, 38000);
        EXPECT_EQ(reg->FontName, QStringLiteral("Courier New"));
        EXPECT_EQ(reg->FontHeight, -13);
        EXPECT_EQ(reg->FontColor, 0);
        EXPECT_EQ(reg->FontStyle, 0);
        EXPECT_EQ(reg->FontCharset, 0);
    }
    const struct
    {
        QString section, name, text;
    } expected[] = {
        { kSystem, QStringLiteral("Filter Comments"), QStringLiteral("1") },
        { kSystem, QStringLiteral("Clear Before Search"), QStringLiteral("1") },
        { kSystem, QStringLiteral("Search Contacts"), QStringLiteral("1") },
        { kSystem, QStringLiteral("Incl IP"), QStringLiteral("1") },
        { kSystem, QStringLiteral("Incl Domain"), QStringLiteral("1") },
        { kSystem, QStringLiteral("Auto Update"), QStringLiteral("0") },
        { kSystem, QStringLiteral("Directory"), QStringLiteral("") },
        { kSystem, QStringLiteral("RDAP Mode"), QStringLiteral("fallback") },
        { kSystem, QStringLiteral("Keep History"), QStringLiteral("1") },
        { kSystem, QStringLiteral("History Reports Per Query"), QStringLiteral("100") },
        { kSystem, QStringLiteral("History Size MiB"), QStringLiteral("1024") },
        { kSystem, QStringLiteral("Last Update"), QStringLiteral("38000") },
        { kFont, QStringLiteral("Name"), QStringLiteral("Courier New") },
        { kFont, QStringLiteral("Height"), QStringLiteral("-13") },
        { kFont, QStringLiteral("Color"), QStringLiteral("0") },
        { kFont, QStringLiteral("Style"), QStringLiteral("0") },
        { kFont, QStringLiteral("Charset"), QStringLiteral("0") },
    };
    QStringList expectedKeys;
    for (const auto& row : expected) {
        SCOPED_TRACE(row.name.toStdString());
        EXPECT_EQ(m_store.Get(row.section, row.name), row.text);
        EXPECT_TRUE(m_store.Has(row.section, row.name));
        expectedKeys << row.section + u'/' + row.name;
    }
    // A value added to the store but not to this table shows up here, so the table cannot fall behind.
    QStringList written = m_store.Open()->allKeys();
    written.sort();
    expectedKeys.sort();
    EXPECT_EQ(written, expectedKeys);
}

TEST_F(RegistryTest, StoredTextsAreReadAsDecimalWithDefaultsForMalformedOnes)
{
    const struct
    {
        const char* name;
        QString section, key, stored;
        QString writtenBack;
    } rows[] = {
        { "non-zero flag is true", kSystem, QStringLiteral("Filter Comments"), QStringLiteral("7"),
          QStringLiteral("1") },
        { "zero flag is false", kSystem, QStringLiteral("Incl IP"), QStringLiteral("0"), QStringLiteral("0") },
        { "negative flag is true", kSystem, QStringLiteral("Auto Update"), QStringLiteral("-1"), QStringLiteral("1") },
        { "malformed flag keeps default true", kSystem, QStringLiteral("Search Contacts"), QStringLiteral("yes"),
          QStringLiteral("1") },
        { "malformed flag keeps default false", kSystem, QStringLiteral("Auto Update"), QStringLiteral("on"),
          QStringLiteral("0") },
        { "letters in an integer", kFont, QStringLiteral("Height"), QStringLiteral("abc"), QStringLiteral("-13") },
        { "trailing junk", kFont, QStringLiteral("Height"), QStringLiteral("12px"), QStringLiteral("-13") },
        { "hex is not decimal", kFont, QStringLiteral("Color"), QStringLiteral("0xFF"), QStringLiteral("0") },
        { "empty integer", kFont, QStringLiteral("Charset"), QStringLiteral(""), QStringLiteral("0") },
        { "out of range", kFont, QStringLiteral("Height"), QStringLiteral("99999999999"), QStringLiteral("-13") },
        { "negative integer", kFont, QStringLiteral("Height"), QStringLiteral("-16"), QStringLiteral("-16") },
        { "malformed day is today", kSystem, QStringLiteral("Last Update"), QStringLiteral("soon"),
          QStringLiteral("38000") },
        { "stored day", kSystem, QStringLiteral("Last Update"), QStringLiteral("37000"), QStringLiteral("37000") },
        { "colour", kFont, QStringLiteral("Color"), QStringLiteral("16711680"), QStringLiteral("16711680") },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempSettings store;
        store.Put(row.section, row.key, row.stored);
        {
            TReg reg(store.Open(), TReg::WriteBack::AtExit, test::FixedClock(kNow));
        }
        EXPECT_EQ(store.Get(row.section, row.key), row.writtenBack);
    }
}

TEST_F(RegistryTest, TextValuesSurviveARunUnchanged)
{
    const QString directory = QStringLiteral("C:\\Program Files\\Vesk, old; \"copy\" =x");
    m_store.Put(kSystem, QStringLiteral("Directory"), directory);
    m_store.Put(kFont, QStringLiteral("Name"), QStringLiteral("DejaVu Sans Mono"));
    {
        auto reg = Open();
        EXPECT_EQ(reg->Directory, directory);
        EXPECT_EQ(reg->FontName, QStringLiteral("DejaVu Sans Mono"));
    }
    EXPECT_EQ(m_store.Get(kSystem, QStringLiteral("Directory")), directory);
    auto again = Open();
    EXPECT_EQ(again->Directory, directory);
}

TEST_F(RegistryTest, FontStyleBitsConvertBothWays)
{
    auto reg = Open();
    reg->FontStyle = 12;
    EXPECT_EQ(reg->GetFontStyle(), (FontStyles { .Bold = true, .Italic = true }));
    reg->FontStyle = 0x1F; // bit 16 is not a style
    EXPECT_EQ(reg->GetFontStyle(), (FontStyles { true, true, true, true }));
    reg->FontStyle = 16;
    EXPECT_EQ(reg->GetFontStyle(), FontStyles {});

    reg->SetFontStyle(FontStyles { .Underline = true, .StrikeOut = true });
    EXPECT_EQ(reg->FontStyle, 3);
    reg->SetFontStyle(FontStyles { .Bold = true });
    EXPECT_EQ(reg->FontStyle, 8);
    reg.reset();
    EXPECT_EQ(m_store.Get(kFont, QStringLiteral("Style")), QStringLiteral("8"));
}

TEST_F(RegistryTest, ChangesReachTheStoreWhenSavedAndAtTheEnd)
{
    auto reg = Open();
    reg->AutoUpdate = true;
    reg->LastUpdate = 37990;
    EXPECT_FALSE(m_store.Has(kSystem, QStringLiteral("Auto Update")));
    EXPECT_TRUE(reg->Save());
    EXPECT_EQ(m_store.Get(kSystem, QStringLiteral("Auto Update")), QStringLiteral("1"));
    EXPECT_EQ(m_store.Get(kSystem, QStringLiteral("Last Update")), QStringLiteral("37990"));
    reg->LastUpdate = 37995;
    reg.reset();
    EXPECT_EQ(m_store.Get(kSystem, QStringLiteral("Last Update")), QStringLiteral("37995"));
}

TEST_F(RegistryTest, ReadOnlyUseNeverWrites)
{
    m_store.Put(kSystem, QStringLiteral("Filter Comments"), QStringLiteral("0"));
    {
        auto reg = Open(TReg::WriteBack::Never);
        EXPECT_FALSE(reg->FilterComments);
        reg->FilterComments = true;
        reg->LastUpdate = 1;
        EXPECT_TRUE(reg->Save()) << "nothing to save is no failure";
    }
    EXPECT_EQ(m_store.Get(kSystem, QStringLiteral("Filter Comments")), QStringLiteral("0"));
    EXPECT_FALSE(m_store.Has(kSystem, QStringLiteral("Last Update")));
}

TEST(RegistryFailureTest, AStoreThatRefusesWritesIsReportedAndEndsNormally)
{
    // The file's folder is a regular file, so nothing can be saved there, even by root.
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("not-a-folder"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    auto store = std::make_unique<QSettings>(blocker + QStringLiteral("/settings.ini"), QSettings::IniFormat);
    TReg reg(std::move(store), TReg::WriteBack::AtExit, test::FixedClock(kNow));
    EXPECT_TRUE(reg.FilterComments);
    reg.FontName = QStringLiteral("Mono");
    EXPECT_FALSE(reg.WriteSettings());
    // The in-memory values are untouched by the failed save.
    EXPECT_EQ(reg.FontName, QStringLiteral("Mono"));
}

} // namespace
} // namespace vesk
