#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace vesk {

/// Every message box of the desktop program goes through here, so that tests can answer it beforehand and
/// nothing ever waits for a user who is not there.
class MessageBox
{
public:
    /// The icon of the box; Plain shows none.
    enum class Kind : uint8_t { Plain, Information, Warning, Error };

    /// Shows `text` modally with `buttons` and gives the button pressed. A CR LF inside the text starts a new line.
    /// An answer queued with SetNextAnswer is taken instead of showing anything; on a headless platform
    /// (offscreen, minimal) the box gives its first button at once, since nobody could press one.
    static QMessageBox::StandardButton Show(QWidget* parent, Kind kind, const QString& text,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok);

    /// Queues the answer of the next box (several calls queue several answers, first in first out).
    static void SetNextAnswer(QMessageBox::StandardButton answer);
    /// The texts of every box asked for since the last ClearShown, in order.
    static QStringList Shown();
    /// The kinds of those boxes, in the same order.
    static QList<Kind> ShownKinds();
    static void ClearShown();
};

} // namespace vesk
