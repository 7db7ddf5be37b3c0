#include "app/font_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

namespace vesk {

namespace {

// The sixteen colours a desktop font dialog offers.
struct NamedColor
{
    const char* name;
    QRgb rgb;
};
constexpr NamedColor kColors[] = {
    { "Black", 0x000000 },  { "Maroon", 0x800000 },  { "Green", 0x008000 }, { "Olive", 0x808000 },
    { "Navy", 0x000080 },   { "Purple", 0x800080 },  { "Teal", 0x008080 },  { "Gray", 0x808080 },
    { "Silver", 0xc0c0c0 }, { "Red", 0xff0000 },     { "Lime", 0x00ff00 },  { "Yellow", 0xffff00 },
    { "Blue", 0x0000ff },   { "Fuchsia", 0xff00ff }, { "Aqua", 0x00ffff },  { "White", 0xffffff },
};

enum StyleIndex { kRegular, kItalic, kBold, kBoldItalic };

} // namespace

FontDialog::FontDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Font"));
    setObjectName(QStringLiteral("fontDialog"));

    m_face = new QFontComboBox(this);
    m_face->setObjectName(QStringLiteral("fontFace"));
    m_face->setAccessibleName(QStringLiteral("Font"));
    m_style = new QComboBox(this);
    m_style->setObjectName(QStringLiteral("fontStyle"));
    m_style->setAccessibleName(QStringLiteral("Font style"));
    m_style->addItems(
        { QStringLiteral("Regular"), QStringLiteral("Italic"), QStringLiteral("Bold"), QStringLiteral("Bold Italic") });
    m_size = new QSpinBox(this);
    m_size->setObjectName(QStringLiteral("fontSize"));
    m_size->setAccessibleName(QStringLiteral("Size"));
    m_size->setRange(kMinPointSize, kMaxPointSize);

    auto* effects = new QGroupBox(QStringLiteral("Effects"), this);
    m_strikeOut = new QCheckBox(QStringLiteral("Stri&keout"), effects);
    m_strikeOut->setObjectName(QStringLiteral("fontStrikeOut"));
    m_underline = new QCheckBox(QStringLiteral("&Underline"), effects);
    m_underline->setObjectName(QStringLiteral("fontUnderline"));
    m_color = new QComboBox(effects);
    m_color->setObjectName(QStringLiteral("fontColor"));
    m_color->setAccessibleName(QStringLiteral("Color"));
    for (const NamedColor& color : kColors) {
        QPixmap swatch(16, 12);
        swatch.fill(QColor::fromRgb(color.rgb));
        m_color->addItem(QIcon(swatch), QString::fromLatin1(color.name), QColor::fromRgb(color.rgb));
    }
    auto* effectsLayout = new QFormLayout(effects);
    effectsLayout->addRow(m_strikeOut);
    effectsLayout->addRow(m_underline);
    effectsLayout->addRow(QStringLiteral("&Color:"), m_color);

    m_sample = new QLabel(QStringLiteral("AaBbYyZz"), this);
    m_sample->setObjectName(QStringLiteral("fontSample"));
    m_sample->setMinimumSize(200, 48);
    m_sample->setAlignment(Qt::AlignCenter);
    m_sample->setFrameShape(QFrame::StyledPanel);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Font:"), m_face);
    form->addRow(QStringLiteral("Font st&yle:"), m_style);
    form->addRow(QStringLiteral("&Size:"), m_size);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(effects);
    layout->addWidget(m_sample);
    layout->addWidget(buttons);

    connect(m_face, &QFontComboBox::currentFontChanged, this, [this] {
        m_face0.clear();
        UpdateSample();
    });
    connect(m_style, &QComboBox::currentIndexChanged, this, &FontDialog::UpdateSample);
    connect(m_size, &QSpinBox::valueChanged, this, &FontDialog::UpdateSample);
    connect(m_strikeOut, &QCheckBox::toggled, this, &FontDialog::UpdateSample);
    connect(m_underline, &QCheckBox::toggled, this, &FontDialog::UpdateSample);
    connect(m_color, &QComboBox::currentIndexChanged, this, &FontDialog::UpdateSample);

    ChosenFont initial;
    initial.Face = QStringLiteral("Courier");
    SetChosenFont(initial);
}

void FontDialog::SetChosenFont(const ChosenFont& font)
{
    m_face->setCurrentFont(QFont(font.Face));
    // The list shows installed faces only; a face it has to substitute is kept by name until the user picks one.
    m_face0 = font.Face;
    const bool bold = font.Styles.Bold;
    const bool italic = font.Styles.Italic;
    m_style->setCurrentIndex(bold ? (italic ? kBoldItalic : kBold) : (italic ? kItalic : kRegular));
    m_size->setValue(font.PointSize); // the spin box keeps it within 6 to 16
    m_strikeOut->setChecked(font.Styles.StrikeOut);
    m_underline->setChecked(font.Styles.Underline);
    int index = m_color->findData(QColor(font.Color.rgb()));
    if (index < 0) {
        m_color->addItem(QStringLiteral("Custom"), QColor(font.Color.rgb()));
        index = m_color->count() - 1;
    }
    m_color->setCurrentIndex(index);
    m_charset = font.Charset;
    UpdateSample();
}

ChosenFont FontDialog::GetChosenFont() const
{
    ChosenFont font;
    font.Face = m_face0.isEmpty() ? m_face->currentFont().family() : m_face0;
    font.PointSize = m_size->value();
    const int style = m_style->currentIndex();
    font.Styles.Bold = style == kBold || style == kBoldItalic;
    font.Styles.Italic = style == kItalic || style == kBoldItalic;
    font.Styles.Underline = m_underline->isChecked();
    font.Styles.StrikeOut = m_strikeOut->isChecked();
    font.Color = m_color->currentData().value<QColor>();
    font.Charset = m_charset;
    return font;
}

int FontDialog::HeightOfPoints(int points)
{
    return -static_cast<int>(std::lround(points * 96.0 / 72.0));
}

int FontDialog::PointsOfHeight(int height)
{
    return static_cast<int>(std::lround(std::abs(height) * 72.0 / 96.0));
}

void FontDialog::UpdateSample()
{
    const ChosenFont chosen = GetChosenFont();
    QFont font(chosen.Face);
    font.setPointSize(chosen.PointSize);
    font.setBold(chosen.Styles.Bold);
    font.setItalic(chosen.Styles.Italic);
    font.setUnderline(chosen.Styles.Underline);
    font.setStrikeOut(chosen.Styles.StrikeOut);
    m_sample->setFont(font);
    QPalette palette = m_sample->palette();
    palette.setColor(QPalette::WindowText, chosen.Color);
    m_sample->setPalette(palette);
}

} // namespace vesk
