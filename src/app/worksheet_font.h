/// Worksheet font conversions: the stored font record to a font and a colour, to and from the font dialog.
#pragma once

#include <QColor>
#include <QFont>

namespace vesk {

class TReg;
struct ChosenFont;

/// The worksheet font that the settings describe (the character set is not used: fonts here cover every
/// script). A positive height is a cell height: the characters come out smaller.
QFont WorksheetFontOf(const TReg& settings);
/// A colour value 0x00BBGGRR as a colour, and back.
QColor ColorOfBgr(int bgr);
int BgrOfColor(const QColor& color);

/// The stored worksheet font as the font dialog shows it.
ChosenFont ChosenFontOf(const TReg& settings);
/// Stores what the font dialog chose (face, height, colour, style and character set, in that order) and saves the
/// settings.
void StoreChosenFont(TReg& settings, const ChosenFont& chosen);

} // namespace vesk
