/// The glyph button: the owner-drawn button of the main window.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

class QPainter;

namespace vesk {

/// A flat, hand-painted push button with an optional picture (the glyph, with a transparent colour taken from
/// its pixel (0, 0)), an optional caption and a one-pixel border. It shows a raised edge while the pointer is over
/// it and a sunken edge while it is held down.
///
/// The button keeps no look of its own: each mouse handler asks for one repaint in its look, and any later
/// ordinary repaint (a setter, `Paint`, a resize, the window being shown) draws the normal look again.
/// Its own `Enabled` flag is separate from QWidget::isEnabled: while it is false the button still receives the
/// mouse but shows no hover or pressed look and fires no events (a click still draws the normal look).
/// The keyboard reaches it with Tab (a click of the mouse leaves the focus where it was): with the focus it shows
/// a dotted rectangle inside its border, Space clicks it on release (pressed look while held) and Enter clicks it.
class TLumariaButton : public QWidget
{
    Q_OBJECT

public:
    enum class Look : uint8_t { Normal, Hover, Pressed };

    /// Where the glyph and the caption land for a given look; an empty rect / null point when not drawn.
    struct Layout
    {
        QRect GlyphRect; ///< destination of the scaled glyph (right and bottom exclusive as width/height)
        QPoint CaptionPos; ///< top-left of the caption text
        bool HasGlyph = false;
        bool HasCaption = false;
    };

    /// A button of 86 x 22 pixels; with a parent its caption becomes its object name (empty at first).
    explicit TLumariaButton(QWidget* parent = nullptr);
    ~TLumariaButton() override;

    QString Caption() const { return m_caption; }
    /// Stores the text and repaints at once (normal look).
    void SetCaption(const QString& caption);

    QColor Color() const { return m_color; }
    /// Normal-look background; repaints at once.
    void SetColor(const QColor& color);

    QColor ColorBorder() const { return m_colorBorder; }
    /// The one-pixel outer border of every look; repaints at once.
    void SetColorBorder(const QColor& color);

    bool Enabled() const { return m_enabled; }
    /// The button's own enabled flag; does not repaint.
    void SetEnabled(bool enabled) { m_enabled = enabled; }

    const QImage& Glyph() const { return m_glyph; }
    /// Copies the picture into the button and schedules a repaint. A null image removes the glyph.
    void SetGlyph(const QImage& glyph);

    QColor ColorOverCaption() const { return m_colorOverCaption; }
    void SetColorOverCaption(const QColor& color) { m_colorOverCaption = color; }
    QColor ColorOver() const { return m_colorOver; }
    void SetColorOver(const QColor& color) { m_colorOver = color; }
    QColor ColorDown() const { return m_colorDown; }
    void SetColorDown(const QColor& color) { m_colorDown = color; }

    bool ShowCaption() const { return m_showCaption; }
    /// Whether the caption is drawn; repaints at once.
    void SetShowCaption(bool show);

    bool ShowHint() const { return m_showHint; }
    /// Whether the tool tip is shown; clears ParentShowHint.
    void SetShowHint(bool show);
    bool ParentShowHint() const { return m_parentShowHint; }
    void SetParentShowHint(bool inherit) { m_parentShowHint = inherit; }

    /// The caption font (face "Arial" by default); its colour is FontColor.
    QFont Font() const { return m_font; }
    void SetFont(const QFont& font) { m_font = font; }
    QColor FontColor() const { return m_fontColor; }
    void SetFontColor(const QColor& color) { m_fontColor = color; }

    /// Gives the button a parent; a non-null parent sets the caption to the object name (without repainting).
    void SetParent(QWidget* parent);

    /// Repaints the normal look now (what every ordinary repaint draws).
    void Paint();
    /// Clicks the button as Enter does: the normal look, then Click while Enabled (assistive tools press it so).
    void Press();

    /// Positions of glyph and caption for `look` with the current size, glyph, caption and font.
    Layout ComputeLayout(Look look) const;

    /// The placement rule itself: a button of size `button`, a glyph of size `glyph` (empty for none), a caption
    /// measuring `caption`, drawn or not.
    static Layout PlaceContent(QSize button, QSize glyph, QSize caption, bool showCaption, Look look);

    /// Draws `look` onto `painter` exactly as the button does on screen (tests and print previews use it).
    /// `captionColor` is the caption colour to use; the pressed look keeps whatever the previous look used.
    void DrawLook(QPainter& painter, Look look, const QColor& captionColor) const;

Q_SIGNALS:
    /// A left press while Enabled: button, modifiers, position inside the button.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    /// A left release while Enabled (also outside the button).
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    /// Declared for completeness; never emitted (the look changes are the enter/leave reaction).
    void MouseEnter();
    void MouseLeave();
    /// Any pointer movement over the button (or while it holds the mouse).
    void MouseMove(Qt::KeyboardModifiers modifiers, int x, int y);
    /// A click (press and release inside the button) while Enabled.
    void Click();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    /// Asks for one immediate repaint in `look`; the paint after it draws the normal look again.
    void DrawNow(Look look);
    void HandleClick();
    /// A left press on the button (the first or the second of a double click): starts following the pointer and,
    /// if Enabled, fires MouseDown and shows the pressed look.
    void PressLeft(QMouseEvent* event);

    QString m_caption;
    QColor m_color;
    QColor m_colorBorder { 153, 143, 130 };
    bool m_enabled = true;
    QImage m_glyph;
    QColor m_colorOverCaption { 0, 0, 0 };
    QColor m_colorOver { 216, 190, 10 };
    QColor m_colorDown { 216, 190, 10 };
    bool m_showCaption = true;
    bool m_showHint = true;
    bool m_parentShowHint = false;
    QFont m_font;
    QColor m_fontColor { 0, 0, 0 };

    // What the next paint draws; reset to Normal once drawn, so the button holds no lasting look.
    Look m_nextLook = Look::Normal;
    // The caption colour the last drawing used: the pressed look keeps it, as a canvas would.
    QColor m_canvasTextColor { 0, 0, 0 };
    // The framework's click: a single left press that started here (the second press of a double click arms none).
    bool m_clickArmed = false;
    // The left button went down here and is still held: the button follows the pointer in and out by itself.
    bool m_leftHeld = false;
    // Whether the held pointer was last seen inside the button.
    bool m_pointerInside = false;
    // Space went down here and is still held: its release clicks.
    bool m_spaceHeld = false;
};

} // namespace vesk
