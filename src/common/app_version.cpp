#include "common/app_version.h"

#include "vesk_version.h"

namespace vesk {

TVersionInfo::TVersionInfo()
    : Major(VESK_VERSION_MAJOR)
    , Minor(VESK_VERSION_MINOR)
    , Release(VESK_VERSION_RELEASE)
    , Build(VESK_VERSION_BUILD)
{ }

void GetAppVersion(TAppVersion& version)
{
    const TVersionInfo info;
    version.Translation = info.Translation;
    version.TranslationText = info.TranslationText;
    version.CompanyName = info.CompanyName;
    version.FileDescription = info.FileDescription;
    version.FileVersion = info.FileVersion;
    version.InternalName = info.InternalName;
    version.LegalCopyright = info.LegalCopyright;
    version.OriginalFilename = info.OriginalFilename;
    version.ProductName = info.ProductName;
    version.ProductVersion = info.ProductVersion;
    version.Comments = info.Comments;
    version.Major = info.Major;
    version.Minor = info.Minor;
    version.Release = info.Release;
    version.Build = info.Build;
}

} // namespace vesk
