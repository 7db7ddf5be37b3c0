#include "app/main_menu.h"

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/shell_open.h"
#include "defs/scrambled_text.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QUrl>

namespace vesk {

namespace {

// Captions and help addresses stand scrambled in the program.
constexpr auto kFileMenu = Scramble<5>("&File");
constexpr auto kNewSearch = Scramble<5>("&New Search");
constexpr auto kSaveWorksheet = Scramble<5>("&Save Worksheet As...");
constexpr auto kPrintWorksheet = Scramble<5>("&Print Worksheet...");
constexpr auto kCloseCommand = Scramble<5>("&Close");
constexpr auto kEditMenu = Scramble<6>("&Edit");
constexpr auto kCopyCommand = Scramble<6>("&Copy");
constexpr auto kCutCommand = Scramble<6>("Cu&t");
constexpr auto kPasteCommand = Scramble<6>("&Paste");
constexpr auto kClearCommand = Scramble<6>("C&lear Worksheet");
constexpr auto kSelectAllCommand = Scramble<6>("Select &All");
constexpr auto kSettingsMenu = Scramble<7>("&Settings");
constexpr auto kFontCommand = Scramble<7>("&Font...");
constexpr auto kOptionsCommand = Scramble<7>("&Options...");
constexpr auto kHelpMenu = Scramble<2>("&Help");
constexpr auto kWebPage1Caption = Scramble<2>("IANA &Root Zone Database");
constexpr auto kWebPage2Caption = Scramble<2>("Vesk? &Manual");
constexpr auto kWebPage3Caption = Scramble<2>("ICANN Registration &Data Lookup");
constexpr auto kAboutCommand = Scramble<2>("&About Vesk?");

constexpr auto kWebPage1 = Scramble<1>("https://www.iana.org/domains/root/db");
constexpr auto kWebPage2 = Scramble<1>("vesk-manual.html");
constexpr auto kWebPage3 = Scramble<1>("https://lookup.icann.org");

template <std::size_t N> QString Plain(const ScrambledText<N>& text)
{
    return QString::fromLatin1(text.Text());
}

QString WebPageCaption(int page)
{
    switch (page) {
    case 1:
        return Plain(kWebPage1Caption);
    case 2:
        return Plain(kWebPage2Caption);
    case 3:
        return Plain(kWebPage3Caption);
    default:
        return {};
    }
}

} // namespace

QAction* BuildMainMenu(TfrmMain& window)
{
    QMenuBar& bar = *window.menuBar();
    const auto add = [&window](QMenu* menu, const QString& name, const QString& caption, const QKeySequence& keys,
                               const std::function<void()>& command) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        if (!keys.isEmpty())
            action->setShortcut(keys);
        QObject::connect(action, &QAction::triggered, &window, [&window, command] { window.RunCommand(command); });
        return action;
    };
    TfrmMain* const w = &window;

    QMenu* file = bar.addMenu(Plain(kFileMenu));
    file->setObjectName(QStringLiteral("fileMenu"));
    add(file, QStringLiteral("actionNewSearch"), Plain(kNewSearch), QKeySequence(Qt::CTRL | Qt::Key_0),
        [w] { w->NewSearch(); });
    add(file, QStringLiteral("actionSave"), Plain(kSaveWorksheet), QKeySequence(Qt::CTRL | Qt::Key_S),
        [w] { w->SaveWorksheetAs(); });
    add(file, QStringLiteral("actionPrint"), Plain(kPrintWorksheet), QKeySequence(Qt::CTRL | Qt::Key_P), [w] {
        QPrinter printer;
        QPrintDialog dialog(&printer, w);
        if (dialog.exec() == QDialog::Accepted)
            w->PrintWorksheet(printer);
    });
    file->addSeparator();
    add(file, QStringLiteral("actionClose"), Plain(kCloseCommand), {}, [w] { w->close(); });

    QMenu* edit = bar.addMenu(Plain(kEditMenu));
    edit->setObjectName(QStringLiteral("editMenu"));
    add(edit, QStringLiteral("actionCopy"), Plain(kCopyCommand), QKeySequence(Qt::CTRL | Qt::Key_C),
        [] { RunEditCommand(EditCommand::Copy); });
    add(edit, QStringLiteral("actionCut"), Plain(kCutCommand), QKeySequence(Qt::CTRL | Qt::Key_X),
        [] { RunEditCommand(EditCommand::Cut); });
    add(edit, QStringLiteral("actionPaste"), Plain(kPasteCommand), QKeySequence(Qt::CTRL | Qt::Key_V),
        [] { RunEditCommand(EditCommand::Paste); });
    edit->addSeparator();
    add(edit, QStringLiteral("actionClear"), Plain(kClearCommand), {}, [w] { w->ClearLines(); });
    add(edit, QStringLiteral("actionSelectAll"), Plain(kSelectAllCommand), {}, [w] { w->SelectWholeWorksheet(); });

    QMenu* settings = bar.addMenu(Plain(kSettingsMenu));
    settings->setObjectName(QStringLiteral("settingsMenu"));
    add(settings, QStringLiteral("actionFont"), Plain(kFontCommand), {}, [w] { w->ChooseWorksheetFont(); });
    settings->addSeparator();
    QAction* options
        = add(settings, QStringLiteral("actionOptions"), Plain(kOptionsCommand), {}, [w] { w->OpenOptions(); });

    QMenu* help = bar.addMenu(Plain(kHelpMenu));
    help->setObjectName(QStringLiteral("helpMenu"));
    add(help, QStringLiteral("actionWebPage2"), Plain(kWebPage2Caption), {}, [w] { w->OpenWebPage(2); });
    help->addSeparator();
    add(help, QStringLiteral("actionWebPage1"), Plain(kWebPage1Caption), {}, [w] { w->OpenWebPage(1); });
    add(help, QStringLiteral("actionWebPage3"), Plain(kWebPage3Caption), {}, [w] { w->OpenWebPage(3); });
    help->addSeparator();
    add(help, QStringLiteral("actionAbout"), Plain(kAboutCommand), {}, [w] { w->OpenAbout(); });

    // Drop-down menus are windows of their own and would not inherit the bar's font.
    for (QMenu* menu : { file, edit, settings, help })
        menu->setFont(bar.font());
    return options;
}

void RunEditCommand(EditCommand command)
{
    // The query box and the worksheet share the three operations but no base class that has them.
    const auto run = [command](auto* editor) {
        if (command == EditCommand::Copy)
            editor->copy();
        else if (command == EditCommand::Cut)
            editor->cut();
        else
            editor->paste();
    };
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        run(line);
    else if (auto* text = qobject_cast<QPlainTextEdit*>(focus))
        run(text);
}

QString WebPageAddress(int page)
{
    switch (page) {
    case 1:
        return Plain(kWebPage1);
    case 2:
        return Plain(kWebPage2);
    case 3:
        return Plain(kWebPage3);
    default:
        return {};
    }
}

QString WebPageName(int page)
{
    return WebPageCaption(page).remove(QLatin1Char('&'));
}

QString WebPageUrl(int page, const QString& shippedDir, QString& error)
{
    error.clear();
    QString address = WebPageAddress(page);
    if (page != 2)
        return address;
    // The manual lies with the shipped files; the opener is given no directory, so it gets the whole path.
    const QString path = QDir(shippedDir).absoluteFilePath(address);
    if (!QFileInfo::exists(path)) {
        error = QStringLiteral("%1 could not be opened: %2 does not exist.").arg(WebPageName(page), path);
        return {};
    }
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

void OpenHelpPage(QWidget* parent, MessageSink& messages, int page, const QString& shippedDir)
{
    QString error;
    const QString address = WebPageUrl(page, shippedDir, error);
    if (!error.isEmpty()) {
        messages.Show(parent, MessageSink::Kind::Error, error);
        return;
    }
    if (address.isEmpty())
        return;
    if (ShellOpen(parent, address, {}, {}, kShowNormal) == 0) {
        messages.Show(parent, MessageSink::Kind::Error,
                      QStringLiteral("%1 could not be opened: the desktop has no program that opens %2")
                          .arg(WebPageName(page), address));
    }
}

} // namespace vesk
