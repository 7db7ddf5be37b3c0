/// The main window's menu bar and its help pages.
#pragma once

#include <QString>
#include <cstdint>

class QAction;
class QWidget;

namespace vesk {

class MessageSink;
class TfrmMain;

/// Fills the window's menu bar with the four menus (file, edit, settings, help) and their entries, each running
/// a command of the window under its general error report. Entries and menus are named for their commands
/// ("actionSave", "fileMenu"). Gives the options entry, which is disabled while a search runs.
QAction* BuildMainMenu(TfrmMain& window);

/// The edit commands of the menu, which work on whichever editor has the focus (query box or worksheet).
enum class EditCommand : uint8_t { Copy, Cut, Paste };
/// Runs `command` in the focused line or text editor; nothing when another widget has the focus.
void RunEditCommand(EditCommand command);

/// The help addresses in menu numbering (1 to 3); page 2 is the manual's file name beside the program. Empty for
/// any other number.
QString WebPageAddress(int page);
/// The menu entry of help page `page` without its keyboard mark, as messages name it.
QString WebPageName(int page);
/// Opens help page 1, 2 or 3 with the desktop's default handler; a message box on `parent` names the entry and
/// the address (or the missing manual) when it could not be opened.
void OpenHelpPage(QWidget* parent, MessageSink& messages, int page, const QString& shippedDir);
/// Where help page `page` opens: the web address, or for the manual a file URL into `shippedDir`. The empty text
/// with `error` set when the manual is not there.
QString WebPageUrl(int page, const QString& shippedDir, QString& error);

} // namespace vesk
