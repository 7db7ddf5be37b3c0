#include "common/app_version.h"

#include "vesk_version.h"

namespace vesk {

TVersionInfo::TVersionInfo()
{
    // The generated header is read here and nowhere else in the program.
    m_values.Major = VESK_VERSION_MAJOR;
    m_values.Minor = VESK_VERSION_MINOR;
    m_values.Release = VESK_VERSION_RELEASE;
    m_values.Build = VESK_VERSION_BUILD;
}

void GetAppVersion(TAppVersion& version)
{
    version = TVersionInfo().Values();
}

} // namespace vesk
