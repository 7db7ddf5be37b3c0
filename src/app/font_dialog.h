/// The font dialog: the worksheet font chosen with its styles and previewed.
#pragma once

#include "settings/settings_store.h"

#include <QColor>
#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QSpinBox;

namespace vesk {

/// A worksheet font as the font dialog offers it.
struct ChosenFont
{
    QString Face;
    int PointSize = 10;
    FontStyles Styles;
    QColor Color { 0, 0, 0 };
    int Charset = 0; ///< kept as given: fonts here cover every script, so the dialog offers no choice

    bool operator==(const ChosenFont&) const = default;
};

/// The font dialog of the worksheet: face, style, size limited to 6 to 16 points, and the effects (colour,
/// underline, strike-out), with a sample. Opens with face "Courier".
class FontDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMinPointSize = 6;
    static constexpr int kMaxPointSize = 16;

    explicit FontDialog(QWidget* parent = nullptr);

    /// Shows `font` in the controls; a size outside 6 to 16 points is brought inside.
    void SetChosenFont(const ChosenFont& font);
    /// What the controls show now.
    ChosenFont GetChosenFont() const;

    /// Pixel height in the stored convention (negative: character height) of `points` at 96 pixels per inch.
    static int HeightOfPoints(int points);
    /// Points of a stored height; a positive (cell) height counts as the character height here.
    static int PointsOfHeight(int height);

private:
    void UpdateSample();

    QFontComboBox* m_face = nullptr;
    QComboBox* m_style = nullptr;
    QSpinBox* m_size = nullptr;
    QCheckBox* m_strikeOut = nullptr;
    QCheckBox* m_underline = nullptr;
    QComboBox* m_color = nullptr;
    QLabel* m_sample = nullptr;
    QString m_face0; // the face as given, kept when the list cannot show it exactly
    int m_charset = 0;
};

} // namespace vesk
