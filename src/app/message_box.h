/// The message sink: every message box of the desktop program goes through one injected object.
#pragma once

#include <QMessageBox>
#include <QString>
#include <cstdint>
#include <memory>

class QWidget;

namespace vesk {

/// Where the windows send their messages. The program shows message boxes; tests record the texts and answer
/// them, so nothing ever waits for a user who is not there.
class MessageSink
{
public:
    /// The icon of the box; Plain shows none.
    enum class Kind : uint8_t { Plain, Information, Warning, Error };

    virtual ~MessageSink() = default;

    /// Shows `text` modally with `buttons` and gives the button pressed. A CR LF inside the text starts a new line.
    virtual QMessageBox::StandardButton Ask(QWidget* parent, Kind kind, const QString& text,
                                            QMessageBox::StandardButtons buttons)
        = 0;
    /// A message with only an OK button.
    void Show(QWidget* parent, Kind kind, const QString& text) { Ask(parent, kind, text, QMessageBox::Ok); }
};

/// The desktop's sink: a modal QMessageBox titled with the program's name.
class DialogMessageSink final : public MessageSink
{
public:
    QMessageBox::StandardButton Ask(QWidget* parent, Kind kind, const QString& text,
                                    QMessageBox::StandardButtons buttons) override;
};

/// The sink for a platform with no screen (offscreen, minimal), where nobody could press a button: the text goes
/// to standard error and the first button is the answer.
class UnattendedMessageSink final : public MessageSink
{
public:
    QMessageBox::StandardButton Ask(QWidget* parent, Kind kind, const QString& text,
                                    QMessageBox::StandardButtons buttons) override;
};

/// The first of `buttons` in Qt's order; NoButton for none.
QMessageBox::StandardButton FirstButton(QMessageBox::StandardButtons buttons);

/// The sink that fits the running platform: unattended without a screen, dialogs otherwise.
std::unique_ptr<MessageSink> MakePlatformMessageSink();

} // namespace vesk
