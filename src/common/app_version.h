/// The program's version: the one record of its four numbers and the version texts.
#pragma once

#include <QString>
#include <cstdint>

namespace vesk {

/// The version record that callers receive. There is no version resource on this platform, so the translation
/// and the nine descriptive texts stay empty (nothing in the program reads them).
struct TAppVersion
{
    uint32_t Translation = 0;
    QString TranslationText;
    QString CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright, OriginalFilename, ProductName,
        ProductVersion, Comments;
    int Major = 0, Minor = 0, Release = 0, Build = 0;
};

/// Reads the version compiled in from the build's project version into one TAppVersion record.
class TVersionInfo
{
public:
    TVersionInfo();

    const TAppVersion& Values() const { return m_values; }

private:
    TAppVersion m_values;
};

/// Fills `version` from a fresh TVersionInfo.
void GetAppVersion(TAppVersion& version);

} // namespace vesk
