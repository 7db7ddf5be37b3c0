#include "app/message_box.h"

#include <QGuiApplication>
#include <QWidget>
#include <cstdio>

namespace vesk {

QMessageBox::StandardButton FirstButton(QMessageBox::StandardButtons buttons)
{
    for (int bit = QMessageBox::FirstButton; bit <= QMessageBox::LastButton; bit <<= 1) {
        if (buttons.testFlag(static_cast<QMessageBox::StandardButton>(bit)))
            return static_cast<QMessageBox::StandardButton>(bit);
    }
    return QMessageBox::NoButton;
}

QMessageBox::StandardButton DialogMessageSink::Ask(QWidget* parent, Kind kind, const QString& text,
                                                   QMessageBox::StandardButtons buttons)
{
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

QMessageBox::StandardButton UnattendedMessageSink::Ask(QWidget* /*parent*/, Kind /*kind*/, const QString& text,
                                                       QMessageBox::StandardButtons buttons)
{
    QString line = text;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    std::fputs((line.toLocal8Bit() + '\n').constData(), stderr);
    return FirstButton(buttons);
}

std::unique_ptr<MessageSink> MakePlatformMessageSink()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal"))
        return std::make_unique<UnattendedMessageSink>();
    return std::make_unique<DialogMessageSink>();
}

} // namespace vesk
