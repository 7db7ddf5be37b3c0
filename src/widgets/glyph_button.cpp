#include "widgets/glyph_button.h"

#include "widgets/desktop_font.h"
#include "widgets/glyph_button_accessible.h"

#include <QAccessible>
#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>

namespace vesk {

namespace {

const QColor kEdgeLight { 248, 244, 237 };
const QColor kEdgeDark { 79, 79, 79 };

// Half of n, truncated toward zero (C++ division already does that, also for negative n).
constexpr int Half(int n)
{
    return n / 2;
}

// A one-pixel horizontal or vertical line from (x1, y1) to (x2, y2), the end point itself not drawn.
void DrawLine(QPainter& painter, int x1, int y1, int x2, int y2, const QColor& color)
{
    if (y1 == y2 && x1 != x2) {
        const int from = x1 < x2 ? x1 : x2 + 1;
        const int to = x1 < x2 ? x2 - 1 : x1;
        painter.fillRect(QRect(QPoint(from, y1), QPoint(to, y1)), color);
    } else if (x1 == x2 && y1 != y2) {
        const int from = y1 < y2 ? y1 : y2 + 1;
        const int to = y1 < y2 ? y2 - 1 : y1;
        painter.fillRect(QRect(QPoint(x1, from), QPoint(x1, to)), color);
    }
}

// The glyph with every pixel of its pixel (0, 0)'s colour replaced by `background`.
QImage TransparentCopy(const QImage& glyph, const QColor& background)
{
    QImage copy = glyph.convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = copy.pixel(0, 0);
    const QRgb replacement = background.rgba();
    for (int y = 0; y < copy.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x) {
            if (line[x] == transparent)
                line[x] = replacement;
        }
    }
    return copy;
}

} // namespace

TLumariaButton::TLumariaButton(QWidget* parent)
    : QWidget(parent)
    , m_color(QApplication::palette().color(QPalette::Button))
{
    // Screen readers see it as a push button, whoever made it.
    InstallGlyphButtonAccessibility();
    m_font = DesktopFont(QStringLiteral("Arial"), 11);
    m_canvasTextColor = m_fontColor;
    resize(86, 22);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    if (parent != nullptr)
        m_caption = objectName();
}

TLumariaButton::~TLumariaButton() = default;

void TLumariaButton::SetCaption(const QString& caption)
{
    m_caption = caption;
    Paint();
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void TLumariaButton::SetColor(const QColor& color)
{
    m_color = color;
    Paint();
}

void TLumariaButton::SetColorBorder(const QColor& color)
{
    m_colorBorder = color;
    Paint();
}

void TLumariaButton::SetGlyph(const QImage& glyph)
{
    m_glyph = glyph.copy();
    update();
}

void TLumariaButton::SetShowCaption(bool show)
{
    m_showCaption = show;
    Paint();
}

void TLumariaButton::SetShowHint(bool show)
{
    m_showHint = show;
    m_parentShowHint = false;
}

void TLumariaButton::SetParent(QWidget* parent)
{
    setParent(parent);
    if (parent != nullptr)
        m_caption = objectName();
}

void TLumariaButton::Paint()
{
    // Without a parent there is no surface to draw on; the first paint after that draws the normal look anyway.
    if (parentWidget() == nullptr)
        return;
    DrawNow(Look::Normal);
}

TLumariaButton::Layout TLumariaButton::ComputeLayout(Look look) const
{
    const QFontMetrics metrics(m_font);
    const QSize caption(metrics.horizontalAdvance(m_caption), metrics.height());
    return PlaceContent(size(), m_glyph.isNull() ? QSize() : m_glyph.size(), caption, m_showCaption, look);
}

TLumariaButton::Layout TLumariaButton::PlaceContent(QSize button, QSize glyph, QSize caption, bool showCaption,
                                                    Look look)
{
    Layout layout;
    const int w = button.width();
    const int h = button.height();
    const int tw = caption.width();
    const int th = caption.height();
    const bool hasGlyph = glyph.isValid() && !glyph.isEmpty();
    const int gw = hasGlyph ? glyph.width() : 0;
    const int gh = hasGlyph ? glyph.height() : 0;

    if (hasGlyph && showCaption) {
        // The glyph's rectangle is one column wider than the glyph: it is stretched by that column.
        const int left = Half(w) - Half(gw + tw) - 1;
        const int top = Half(h) - Half(gh);
        const int right = Half(w) - Half(gw + tw) + gw;
        const int bottom = top + gh;
        layout.GlyphRect = QRect(left, top, right - left, bottom - top);
        layout.CaptionPos = QPoint(Half(w) + Half(gw - tw) + 4, Half(h) - Half(th));
    } else if (hasGlyph) {
        layout.GlyphRect = QRect(Half(w) - Half(gw), Half(h) - Half(gh), gw, gh);
    } else {
        layout.CaptionPos = QPoint(Half(w) - Half(tw), Half(h) - Half(th));
    }
    layout.HasGlyph = hasGlyph;
    layout.HasCaption = showCaption;

    if (look == Look::Pressed) {
        layout.GlyphRect.translate(1, 1);
        layout.CaptionPos += QPoint(1, 1);
    }
    return layout;
}

void TLumariaButton::DrawLook(QPainter& painter, Look look, const QColor& captionColor) const
{
    const int w = width();
    const int h = height();
    QColor background = m_color;
    if (look == Look::Hover)
        background = m_colorOver;
    else if (look == Look::Pressed)
        background = m_colorDown;

    painter.fillRect(QRect(1, 1, w - 2, h - 2), background);

    const Layout layout = ComputeLayout(look);
    if (layout.HasGlyph && !layout.GlyphRect.isEmpty()) {
        const QImage glyph = TransparentCopy(m_glyph, background)
                                 .scaled(layout.GlyphRect.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        painter.drawImage(layout.GlyphRect.topLeft(), glyph);
    }
    if (layout.HasCaption && !m_caption.isEmpty()) {
        const QFontMetrics metrics(m_font);
        const QRect textRect(layout.CaptionPos, QSize(metrics.horizontalAdvance(m_caption), metrics.height()));
        // Opaque text: the cell behind the caption takes the look's background, as on a canvas.
        painter.fillRect(textRect, background);
        painter.setFont(m_font);
        painter.setPen(captionColor);
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_caption);
    }

    // The border: the outer one-pixel frame of (0, 0, w, h).
    painter.fillRect(QRect(0, 0, w, 1), m_colorBorder);
    painter.fillRect(QRect(0, h - 1, w, 1), m_colorBorder);
    painter.fillRect(QRect(0, 0, 1, h), m_colorBorder);
    painter.fillRect(QRect(w - 1, 0, 1, h), m_colorBorder);

    if (look == Look::Hover) {
        DrawLine(painter, 0, h - 2, 0, 0, kEdgeLight);
        DrawLine(painter, 0, 0, w - 1, 0, kEdgeLight);
        DrawLine(painter, w - 1, 0, w - 1, h, kEdgeDark);
        DrawLine(painter, w, h - 1, -1, h - 1, kEdgeDark);
    } else if (look == Look::Pressed) {
        DrawLine(painter, w - 1, 0, w - 1, h, kEdgeLight);
        DrawLine(painter, w, h - 1, -1, h - 1, kEdgeLight);
        DrawLine(painter, 0, h - 2, 0, 0, kEdgeDark);
        DrawLine(painter, 0, 0, w - 1, 0, kEdgeDark);
    }

    if (hasFocus() && w > 8 && h > 8) {
        // The keyboard focus: a dotted rectangle in the caption's colour, clear of the edges.
        painter.setPen(QPen(captionColor, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRect(3, 3, w - 7, h - 7));
    }
}

void TLumariaButton::paintEvent(QPaintEvent* /*event*/)
{
    const Look look = m_nextLook;
    m_nextLook = Look::Normal;
    if (look == Look::Normal)
        m_canvasTextColor = m_fontColor;
    else if (look == Look::Hover)
        m_canvasTextColor = m_colorOverCaption;
    QPainter painter(this);
    DrawLook(painter, look, m_canvasTextColor);
}

void TLumariaButton::DrawNow(Look look)
{
    m_nextLook = look;
    repaint();
}

void TLumariaButton::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (m_enabled)
        DrawNow(Look::Hover);
}

void TLumariaButton::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    DrawNow(Look::Normal);
}

void TLumariaButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_clickArmed = true;
    PressLeft(event);
}

void TLumariaButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click is an ordinary press that arms no click: one double click is one click.
    PressLeft(event);
}

void TLumariaButton::PressLeft(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_leftHeld = true;
    m_pointerInside = true;
    if (!m_enabled)
        return;
    const QPoint pos = event->position().toPoint();
    Q_EMIT MouseDown(event->button(), event->modifiers(), pos.x(), pos.y());
    DrawNow(Look::Pressed);
}

void TLumariaButton::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        const bool click = m_clickArmed && rect().contains(pos);
        m_clickArmed = false;
        m_leftHeld = false;
        if (click)
            HandleClick();
    }
    if (event->button() != Qt::LeftButton || !m_enabled)
        return;
    Q_EMIT MouseUp(event->button(), event->modifiers(), pos.x(), pos.y());
    // The control under the pointer now, not where the release happened: the click handler may have run a whole
    // search while the pointer moved on, or closed windows.
    if (QApplication::widgetAt(QCursor::pos()) == this)
        DrawNow(Look::Hover);
}

void TLumariaButton::Press()
{
    HandleClick();
}

void TLumariaButton::HandleClick()
{
    DrawNow(Look::Normal);
    if (m_enabled)
        Q_EMIT Click();
}

void TLumariaButton::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    // While the left button is held the button has the mouse and gets no enter or leave notices, so it follows the
    // pointer itself: stepping out shows the normal look, stepping back in the hover look.
    if (m_leftHeld && event->buttons().testFlag(Qt::LeftButton)) {
        const bool inside = rect().contains(pos);
        if (inside != m_pointerInside) {
            m_pointerInside = inside;
            if (!inside)
                DrawNow(Look::Normal);
            else if (m_enabled)
                DrawNow(Look::Hover);
        }
    }
    Q_EMIT MouseMove(event->modifiers(), pos.x(), pos.y());
}

void TLumariaButton::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
        if (!event->isAutoRepeat() && !m_spaceHeld) {
            m_spaceHeld = true;
            if (m_enabled)
                DrawNow(Look::Pressed);
        }
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !event->isAutoRepeat()) {
        HandleClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TLumariaButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && m_spaceHeld) {
        m_spaceHeld = false;
        HandleClick();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void TLumariaButton::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    Paint();
}

void TLumariaButton::focusOutEvent(QFocusEvent* event)
{
    // Space let go elsewhere clicks nothing.
    m_spaceHeld = false;
    QWidget::focusOutEvent(event);
    Paint();
}

void TLumariaButton::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_nextLook = Look::Normal;
}

void TLumariaButton::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_nextLook = Look::Normal;
}

bool TLumariaButton::event(QEvent* event)
{
    if (event->type() == QEvent::ParentChange && parentWidget() != nullptr)
        m_caption = objectName();
    if (event->type() == QEvent::ToolTip && !m_showHint)
        return true;
    return QWidget::event(event);
}

} // namespace vesk
