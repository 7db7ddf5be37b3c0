#include "widgets/desktop_font.h"

#include <QFontMetrics>
#include <QStringList>

namespace vesk {

QFont DesktopFont(const QString& face)
{
    // Metric twins of the classic sans faces first, then a condensed face that is still narrow enough.
    QStringList families { face };
    const char* const fallbacks[] = { "Microsoft Sans Serif", "Arial",     "Liberation Sans",      "Arimo",
                                      "Nimbus Sans",          "Helvetica", "DejaVu Sans Condensed" };
    for (const char* fallback : fallbacks) {
        const QString name = QString::fromLatin1(fallback);
        if (!families.contains(name, Qt::CaseInsensitive))
            families.append(name);
    }
    QFont font(face);
    font.setFamilies(families);
    return font;
}

QFont DesktopFont(const QString& face, int pixelSize, bool bold)
{
    QFont font = DesktopFont(face);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont FitFontToWidth(QFont font, const QString& text, int width)
{
    constexpr int kSmallest = 8;
    while (font.pixelSize() > kSmallest && QFontMetrics(font).horizontalAdvance(text) > width)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

} // namespace vesk
