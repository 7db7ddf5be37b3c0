#include "lookup/search_options.h"

#include "lookup/report_texts.h"
#include "settings/settings_store.h"

namespace vesk {

RdapUse RdapUseFromText(const QString& mode)
{
    const QString text = mode.trimmed().toLower();
    if (text == QLatin1String(texts::kRdapModeNever))
        return RdapUse::Never;
    if (text == QLatin1String(texts::kRdapModeFirst))
        return RdapUse::First;
    return RdapUse::Fallback;
}

SearchOptions SearchOptions::WithSettings(const TReg& settings) const
{
    SearchOptions options = *this;
    options.ClearBeforeSearch = settings.ClearBeforeSearch;
    options.FilterComments = settings.FilterComments;
    options.SearchContacts = settings.SearchContacts;
    options.InclIP = settings.InclIP;
    options.InclDomain = settings.InclDomain;
    options.Rdap = RdapUseFromText(settings.RdapMode);
    return options;
}

} // namespace vesk
