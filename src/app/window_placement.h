/// Window placement: a frame fitted inside the available screen area.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

namespace vesk {

/// Where a window whose outer frame would be `frame` goes so that it lies inside `available` (the screen less
/// its panels): sized down to the available area where it is larger, but never below `minimum`, then moved in
/// by as little as it takes. A window that cannot fit even at its minimum keeps its top-left corner inside.
QRect FitFrameInside(const QRect& frame, const QRect& available, const QSize& minimum);

/// The room the desktop's title bar and borders are assumed to take around a window whose frame is not known
/// yet (before it is first mapped).
inline constexpr QMargins kAssumedFrameMargins { 8, 40, 8, 8 };

} // namespace vesk
