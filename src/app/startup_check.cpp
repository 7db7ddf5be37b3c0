#include "app/startup_check.h"

#include "defs/scrambled_text.h"
#include "lookup/frontend.h"
#include "lookup/status_at_exit.h"
#include "lookup/worksheet.h"
#include "settings/settings_store.h"
#include "update/definition_update.h"

namespace vesk {

namespace {

constexpr auto kUpdatingStatus = Scramble<0>("Wait....  Updating the definition files");
constexpr auto kMissingDefinitions1 = Scramble<0>("The definition files are missing or damaged: searches by domain "
                                                  "name cannot find their WHOIS servers.");
constexpr auto kMissingDefinitions2 = Scramble<0>("Please open Settings > Options and press \"Update\".");

} // namespace

bool RunDueUpdate(TReg& settings, const QDateTime& now, Worksheet& sheet, Frontend& frontend,
                  const std::function<UpdateOutcome()>& update)
{
    if (!AutoUpdateDue(settings, now))
        return false;
    sheet.SetStatus(kUpdatingStatus.Text());
    frontend.ProcessPendingEvents();
    const StatusAtExit blank(sheet, QByteArray());
    if (update)
        update();
    settings.Save();
    return true;
}

QString MissingDefinitionsWarning()
{
    return QString::fromLatin1(kMissingDefinitions1.Text()) + QStringLiteral("\r\n")
        + QString::fromLatin1(kMissingDefinitions2.Text());
}

} // namespace vesk
