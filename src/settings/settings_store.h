#pragma once

#include "common/clock.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QSettings;

namespace vesk {

/// Font styles as the worksheet knows them; stored as bits 8 bold, 4 italic, 2 underline, 1 strike-out.
struct FontStyles
{
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;

    bool operator==(const FontStyles&) const = default;
};

/// The user's options and worksheet font. Read once at construction, changed in memory by the rest of the
/// program, written back once at destruction (unless read-only). Every value is stored as a string in the
/// sections "System Settings" and "Font"; a missing or malformed value gives its default.
class TReg
{
public:
    enum class WriteBack : uint8_t { AtExit, Never };

    /// The user's store: QSettings("Ostberg", "Vesk?").
    explicit TReg(WriteBack writeBack = WriteBack::AtExit, Clock clock = SystemClock());
    /// A given store (tests use an INI file in a temporary folder).
    TReg(std::unique_ptr<QSettings> store, WriteBack writeBack, Clock clock);
    ~TReg();

    TReg(const TReg&) = delete;
    TReg& operator=(const TReg&) = delete;

    /// Reads every value from the store; a missing or malformed value gives its default.
    void ReadSettings();
    /// Writes every value; a value the store refuses does not stop the others. Returns false when the
    /// store could not be saved (e.g. a read-only file); nothing else is reported.
    bool WriteSettings();

    /// Saves every value now, as the desktop does whenever one changes, so that no change waits for an orderly
    /// end. A read-only store (WriteBack::Never) is left alone. False when the store could not be saved.
    bool Save();

    /// The style set of FontStyle's bits (8 bold, 4 italic, 2 underline, 1 strike-out); higher bits are ignored.
    FontStyles GetFontStyle() const;
    /// Stores `styles` as FontStyle's bits.
    void SetFontStyle(const FontStyles& styles);

    /// Every search and update flag back to its default (the options dialog's "Default Settings").
    void RestoreDefaultFlags();

    // The values below get their defaults from the settings table when the store is read.
    // "System Settings"
    bool FilterComments = false;
    bool ClearBeforeSearch = false;
    bool SearchContacts = false;
    bool InclIP = false;
    bool InclDomain = false;
    bool AutoUpdate = false;
    QString Directory;
    /// When the domain details come from RDAP: "fallback" (where port 43 has no server or no answer), "first"
    /// (RDAP wherever the TLD has it) or "never"; anything else reads as "fallback".
    QString RdapMode;
    bool KeepHistory = false; ///< every completed search is recorded in the history store
    int HistoryReportsPerQuery = 0; ///< reports kept per query and kind; 0 or less: no limit
    int HistorySizeMiB = 0; ///< all stored report text together; 0 or less: no limit
    int LastUpdate = 0; ///< day number; defaults to today

    /// The worksheet font of a fresh installation (the window keeps room for a report's width in it).
    static constexpr QLatin1String kDefaultFontName { "Courier New" };
    static constexpr int kDefaultFontHeight = -13;

    // "Font"
    QString FontName;
    int FontHeight = 0; ///< pixels; negative = character height
    int FontColor = 0; ///< 0x00BBGGRR
    int FontStyle = 0; ///< style bits, see FontStyles
    int FontCharset = 0;

private:
    QString DefaultText(const char* fallback) const;

    std::unique_ptr<QSettings> m_store;
    WriteBack m_writeBack;
    Clock m_clock;
};

} // namespace vesk
