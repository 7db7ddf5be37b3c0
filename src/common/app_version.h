#pragma once

#include <QString>
#include <cstdint>

namespace vesk {

/// The program's version, as compiled in from the build's project version. There is no version resource on
/// this platform, so the translation and the nine descriptive texts stay empty (nothing in the program reads them).
class TVersionInfo
{
public:
    TVersionInfo();

    uint32_t Translation = 0;
    QString TranslationText;
    QString CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright, OriginalFilename, ProductName,
        ProductVersion, Comments;
    int Major = 0, Minor = 0, Release = 0, Build = 0;
};

/// The record that callers receive: the fifteen values of TVersionInfo in the same order.
struct TAppVersion
{
    uint32_t Translation = 0;
    QString TranslationText;
    QString CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright, OriginalFilename, ProductName,
        ProductVersion, Comments;
    int Major = 0, Minor = 0, Release = 0, Build = 0;
};

/// Fills `version` from a fresh TVersionInfo.
void GetAppVersion(TAppVersion& version);

} // namespace vesk
