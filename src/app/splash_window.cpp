#include "app/splash_window.h"

#include "app/jpeg_image.h"
#include "app/window_label.h"
#include "common/app_version.h"
#include "widgets/desktop_font.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace vesk {

namespace {

QFont Arial(int pixelHeight, bool bold = false)
{
    return DesktopFont(QStringLiteral("Arial"), pixelHeight, bold);
}

} // namespace

TfmSplash::TfmSplash(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("fmSplash"));
    setWindowTitle(QStringLiteral("Loading..."));
    setFont(DesktopFont(QStringLiteral("MS Sans Serif"), 11));
    setFixedSize(481, 336);
    setAutoFillBackground(true);
    QPalette frame = palette();
    // The frame around the panel follows the desktop's dark shade, as an application workspace would.
    frame.setColor(QPalette::Window, QApplication::palette().color(QPalette::Dark));
    setPalette(frame);

    m_panel = new QWidget(this);
    m_panel->setObjectName(QStringLiteral("splashPanel"));
    m_panel->setGeometry(8, 8, 465, 320);
    m_panel->setAutoFillBackground(true);
    QPalette panelPalette = m_panel->palette();
    panelPalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    m_panel->setPalette(panelPalette);

    auto* side = new QLabel(m_panel);
    side->setObjectName(QStringLiteral("sidePicture"));
    side->setGeometry(0, 0, 80, 320);
    side->setScaledContents(true);
    side->setPixmap(QPixmap::fromImage(LoadShippedPicture(QStringLiteral("splash-side.jpg"))));

    AddLabel(m_panel, QStringLiteral("titleLabel"), QStringLiteral("Vesk?"), Arial(19, true), 88, 8);
    m_version
        = AddLabel(m_panel, QStringLiteral("versionLabel"), QStringLiteral("( 0 : 0 : 0 )"), Arial(16, true), 88, 32);
    // One line in its 241 pixels: a face wider than the one it was set in gets a smaller size, not a second line
    // over the notice below.
    const QString tagline = QStringLiteral("Query Tool for WHOIS In Details");
    QLabel* taglineLabel = AddLabel(m_panel, QStringLiteral("taglineLabel"), tagline,
                                    FitFontToWidth(Arial(16, true), tagline, 241 - 2), 88, 56);
    taglineLabel->resize(241, taglineLabel->height());
    AddLabel(m_panel, QStringLiteral("noticeLabel"), QStringLiteral("Copyright \u00A9 Ostberg. All rights reserved."),
             Arial(13), 88, 80, 339);
    m_creditsHeading
        = AddLabel(m_panel, QStringLiteral("creditsHeading"), QStringLiteral("Built with:"), Arial(11), 88, 104);
    const QString credits[3] = {
        QStringLiteral("Qt 6 widgets and networking by The Qt Company and the Qt Project"),
        QStringLiteral("JPEG decoding by the Independent JPEG Group and libjpeg-turbo"),
        QStringLiteral("AES cipher by the OpenSSL Project"),
    };
    for (int i = 0; i < 3; ++i)
        m_credits[i]
            = AddLabel(m_panel, QStringLiteral("creditLine%1").arg(i + 1), credits[i], Arial(11), 88, 120 + 16 * i);
    m_legal = new QLabel(
        QStringLiteral("Warning: this program is protected by copyright law and international treaties. "
                       "Unauthorised copying or distribution of it, or of any part of it, may result in civil and "
                       "criminal penalties."),
        m_panel);
    m_legal->setObjectName(QStringLiteral("legalNotice"));
    m_legal->setFont(Arial(11));
    m_legal->setWordWrap(true);
    m_legal->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_legal->setGeometry(88, 176, 316, 56);

    const QImage picture = LoadShippedPicture(QStringLiteral("splash.png"));
    m_picture = new QLabel(m_panel);
    m_picture->setObjectName(QStringLiteral("splashPicture"));
    m_picture->setAttribute(Qt::WA_TranslucentBackground);
    m_picture->setPixmap(QPixmap::fromImage(picture));
    m_picture->setGeometry(120, 120, picture.isNull() ? 181 : picture.width(),
                           picture.isNull() ? 174 : picture.height());
    m_picture->hide();

    if (owner == nullptr) {
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
}

void TfmSplash::SetupSplash()
{
    if (m_close == nullptr) {
        m_close = new QPushButton(QStringLiteral("Close"), m_panel);
        m_close->setObjectName(QStringLiteral("closeButton"));
        m_close->setGeometry(88, 288, 121, 25);
        connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    }
    TAppVersion version;
    GetAppVersion(version);
    m_version->setText(VersionText(version.Major, version.Minor, version.Release));
    m_version->adjustSize();
}

void TfmSplash::SplashMode()
{
    if (m_close != nullptr)
        m_close->hide();
    m_creditsHeading->hide();
    for (QLabel* line : m_credits)
        line->hide();
    m_legal->hide();
    m_picture->show();
}

QString TfmSplash::VersionText(int major, int minor, int release)
{
    return QStringLiteral("ver. %1 . %2 . %3").arg(major).arg(minor).arg(release);
}

void TfmSplash::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    // Another window of the program took the focus (not another program): the splash or About window goes.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && QApplication::activeWindow() != nullptr
        && QApplication::activeWindow() != this)
        close();
}

} // namespace vesk
