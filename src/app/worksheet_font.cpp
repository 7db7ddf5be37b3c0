#include "app/worksheet_font.h"

#include "app/font_dialog.h"
#include "settings/settings_store.h"

#include <QFontMetrics>

namespace vesk {

QFont WorksheetFontOf(const TReg& settings)
{
    QFont font(settings.FontName);
    if (settings.FontHeight < 0) {
        font.setPixelSize(-settings.FontHeight);
    } else if (settings.FontHeight > 0) {
        // A positive height is the whole cell; the character height is what remains without the leading.
        font.setPixelSize(settings.FontHeight);
        const int cell = QFontMetrics(font).height();
        if (cell > 0)
            font.setPixelSize(qMax(1, settings.FontHeight * settings.FontHeight / cell));
    }
    const FontStyles styles = settings.GetFontStyle();
    font.setBold(styles.Bold);
    font.setItalic(styles.Italic);
    font.setUnderline(styles.Underline);
    font.setStrikeOut(styles.StrikeOut);
    // The character set is kept in the settings but not applied: the fonts here are Unicode fonts.
    return font;
}

QColor ColorOfBgr(int bgr)
{
    const auto value = static_cast<uint32_t>(bgr);
    return QColor(static_cast<int>(value & 0xff), static_cast<int>((value >> 8) & 0xff),
                  static_cast<int>((value >> 16) & 0xff));
}

int BgrOfColor(const QColor& color)
{
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

ChosenFont ChosenFontOf(const TReg& settings)
{
    ChosenFont font;
    font.Face = settings.FontName;
    font.PointSize = FontDialog::PointsOfHeight(settings.FontHeight);
    font.Styles = settings.GetFontStyle();
    font.Color = ColorOfBgr(settings.FontColor);
    font.Charset = settings.FontCharset;
    return font;
}

void StoreChosenFont(TReg& settings, const ChosenFont& chosen)
{
    settings.FontName = chosen.Face;
    settings.FontHeight = FontDialog::HeightOfPoints(chosen.PointSize);
    settings.FontColor = BgrOfColor(chosen.Color);
    settings.SetFontStyle(chosen.Styles);
    settings.FontCharset = chosen.Charset;
    settings.Save();
}

} // namespace vesk
