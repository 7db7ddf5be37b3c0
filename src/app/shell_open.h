/// Opening an address or a file with the desktop's default program.
#pragma once

#include <QString>

class QWidget;

namespace vesk {

/// Show modes of ShellOpen; the desktop opener decides the window's look, so they are accepted for the record.
inline constexpr int kShowNormal = 1;

/// Asks the desktop to open `item` (a web address, or a local file relative to `directory`) with its default
/// handler. Gives 1 when the request was handed over, 0 when it failed; `parameters` must be empty (a desktop
/// opener passes none), otherwise nothing is opened and 0 comes back.
int ShellOpen(QWidget* parent, const QString& item, const QString& parameters = {}, const QString& directory = {},
              int showMode = kShowNormal);

} // namespace vesk
