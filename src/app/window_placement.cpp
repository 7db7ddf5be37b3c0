#include "app/window_placement.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace vesk {

namespace {

// One axis: the length shrunk to the room (not below the minimum), the start moved in by the least amount.
void FitAxis(int start, int length, int roomStart, int roomLength, int minimum, int& fittedStart, int& fittedLength)
{
    fittedLength = std::max(std::min(length, roomLength), minimum);
    const int lastStart = roomStart + roomLength - fittedLength;
    fittedStart = std::max(std::min(start, lastStart), roomStart);
}

} // namespace

QRect FitFrameInside(const QRect& frame, const QRect& available, const QSize& minimum)
{
    if (!available.isValid())
        return frame;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    FitAxis(frame.x(), frame.width(), available.x(), available.width(), minimum.width(), x, width);
    FitAxis(frame.y(), frame.height(), available.y(), available.height(), minimum.height(), y, height);
    return QRect(x, y, width, height);
}

void FitIntoScreen(QWidget& window)
{
    QScreen* screen = QGuiApplication::screenAt(window.geometry().center());
    if (screen == nullptr)
        screen = window.screen();
    if (screen == nullptr)
        return;
    QMargins frame = window.windowHandle() != nullptr ? window.windowHandle()->frameMargins() : QMargins();
    if (frame.isNull())
        frame = kAssumedFrameMargins;
    const QSize minimum = window.minimumSize().expandedTo(window.minimumSizeHint()).grownBy(frame);
    const QRect fitted = FitFrameInside(window.geometry().marginsAdded(frame), screen->availableGeometry(), minimum);
    window.setGeometry(fitted.marginsRemoved(frame));
}

void BringToFront(QWidget& window)
{
    if (window.isMinimized()) {
        window.showNormal();
        return;
    }
    window.raise();
    window.activateWindow();
    QWidget* popup = QApplication::activeModalWidget();
    if (popup != nullptr && popup != &window && popup->isVisible() && popup->isEnabled()) {
        popup->raise();
        popup->activateWindow();
    }
}

} // namespace vesk
