/// The start-up check: the monthly definition update when it is due, and the warning about missing definitions.
#pragma once

#include <QDateTime>
#include <QString>
#include <functional>

namespace vesk {

class Frontend;
class TReg;
class Worksheet;
struct UpdateOutcome;

/// When the monthly automatic update is due at `now`: shows the updating message in the status line, lets the
/// window repaint, runs `update`, saves the settings (the check's date) and blanks the status line afterwards (also
/// when it throws). Nothing otherwise. Gives whether it ran.
bool RunDueUpdate(TReg& settings, const QDateTime& now, Worksheet& sheet, Frontend& frontend,
                  const std::function<UpdateOutcome()>& update);

/// The two-line warning shown when the definition files are missing or damaged.
QString MissingDefinitionsWarning();

} // namespace vesk
