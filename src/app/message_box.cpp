#include "app/message_box.h"

#include <QGuiApplication>
#include <QList>
#include <QWidget>

namespace vesk {

namespace {

// The answers queued by tests and the texts asked for; the program itself only ever appends to them.
struct MessageBoxLog
{
    QList<QMessageBox::StandardButton> answers;
    QStringList shown;
    QList<MessageBox::Kind> kinds;
};

MessageBoxLog& Log()
{
    static MessageBoxLog log;
    return log;
}

bool Headless()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal");
}

QMessageBox::StandardButton FirstButton(QMessageBox::StandardButtons buttons)
{
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (buttons.testFlag(static_cast<QMessageBox::StandardButton>(bit)))
            return static_cast<QMessageBox::StandardButton>(bit);
    }
    return QMessageBox::NoButton;
}

} // namespace

QMessageBox::StandardButton MessageBox::Show(QWidget* parent, Kind kind, const QString& text,
                                             QMessageBox::StandardButtons buttons)
{
    MessageBoxLog& log = Log();
    log.shown.append(text);
    log.kinds.append(kind);
    if (!log.answers.isEmpty())
        return log.answers.takeFirst();
    if (Headless())
        return FirstButton(buttons);

    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (kind == Kind::Information)
        icon = QMessageBox::Information;
    else if (kind == Kind::Warning)
        icon = QMessageBox::Warning;
    else if (kind == Kind::Error)
        icon = QMessageBox::Critical;
    QString shownText = text;
    shownText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, QStringLiteral("Vesk?"), shownText, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::SetNextAnswer(QMessageBox::StandardButton answer)
{
    Log().answers.append(answer);
}

QStringList MessageBox::Shown()
{
    return Log().shown;
}

QList<MessageBox::Kind> MessageBox::ShownKinds()
{
    return Log().kinds;
}

void MessageBox::ClearShown()
{
    Log().shown.clear();
    Log().kinds.clear();
    Log().answers.clear();
}

} // namespace vesk
