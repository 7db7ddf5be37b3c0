/// The desktop font: window fonts with stand-in faces of like metrics.
#pragma once

#include <QFont>
#include <QString>

namespace vesk {

/// `face` with fallback faces of like metrics behind it, for desktops that lack the classic faces: the text then
/// takes about the room it was laid out for instead of running into its neighbour.
QFont DesktopFont(const QString& face);

/// DesktopFont(face) at `pixelSize` pixels, bold or not.
QFont DesktopFont(const QString& face, int pixelSize, bool bold = false);

/// `font` (sized in pixels) made smaller a pixel at a time, down to 8 pixels, until `text` is at most `width` pixels
/// wide. A font that fits already comes back unchanged.
QFont FitFontToWidth(QFont font, const QString& text, int width);

} // namespace vesk
