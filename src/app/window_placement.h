/// Window placement: a frame fitted inside the available screen area.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace vesk {

/// Where a window whose outer frame would be `frame` goes so that it lies inside `available` (the screen less
/// its panels): sized down to the available area where it is larger, but never below `minimum`, then moved in
/// by as little as it takes. A window that cannot fit even at its minimum keeps its top-left corner inside.
QRect FitFrameInside(const QRect& frame, const QRect& available, const QSize& minimum);

/// The room the desktop's title bar and borders are assumed to take around a window whose frame is not known
/// yet (before it is first mapped).
inline constexpr QMargins kAssumedFrameMargins { 8, 40, 8, 8 };

/// Moves `window`, and sizes it down if need be, so that its frame lies inside the free area of the screen it
/// stands on (FitFrameInside), never below its minimum size. Does nothing without a screen.
void FitIntoScreen(QWidget& window);

/// Brings `window` forward as a second start asks the running one: restored when minimised, else raised and
/// activated, and then its open modal dialog (if any) raised above it.
void BringToFront(QWidget& window);

} // namespace vesk
