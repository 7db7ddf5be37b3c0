/// JPEG pictures of the windows, decoded with libjpeg.
#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace vesk {

/// Decodes JPEG bytes with libjpeg into an RGB32 image. Damaged, truncated or non-JPEG bytes, and pictures larger
/// than 16384 pixels on a side, give a null image; nothing is printed.
QImage DecodeJpeg(QByteArrayView bytes);

/// A picture shipped inside the program, by its file name ("banner.jpg", "background.jpg", "splash-side.jpg",
/// "splash.png"). JPEG pictures go through DecodeJpeg; a missing or damaged picture gives a null image.
QImage LoadShippedPicture(const QString& fileName);

} // namespace vesk
