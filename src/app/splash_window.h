/// The splash and About window.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QWidget;

namespace vesk {

/// One window for two uses: the splash window shown while the program starts (with a large picture) and the
/// About window of the help menu (with credits, a legal notice and "Close"). Either use closes as soon as
/// another window of the program takes the focus from it.
class TfmSplash : public QDialog
{
    Q_OBJECT

public:
    /// `owner` is the main window for the About use and null for the splash use (then it is centred on screen).
    explicit TfmSplash(QWidget* owner = nullptr);

    /// Both uses: creates the "Close" button and writes the version line.
    void SetupSplash();
    /// Splash use: hides the button, the credits and the legal notice, and shows the picture.
    void SplashMode();

    /// The version line for the given numbers: "ver. 1 . 1 . 1".
    static QString VersionText(int major, int minor, int release);

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* m_panel = nullptr;
    QLabel* m_version = nullptr;
    QLabel* m_creditsHeading = nullptr;
    QLabel* m_credits[3] = {};
    QLabel* m_legal = nullptr;
    QLabel* m_picture = nullptr;
    QPushButton* m_close = nullptr;
};

} // namespace vesk
