#include "widgets/glyph_button.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using vesk::TLumariaButton;
using Look = TLumariaButton::Look;

namespace {

const QColor kBorder { 153, 143, 130 };
const QColor kLight { 248, 244, 237 };
const QColor kDark { 79, 79, 79 };
const QColor kYellow { 216, 190, 10 };

QColor At(const QImage& image, int x, int y)
{
    return QColor(image.pixel(x, y));
}

// One look drawn off screen, the way the button paints it.
QImage Render(const TLumariaButton& button, Look look, const QColor& captionColor = Qt::black)
{
    QImage image(button.size(), QImage::Format_RGB32);
    image.fill(Qt::cyan);
    QPainter painter(&image);
    button.DrawLook(painter, look, captionColor);
    return image;
}

// Bounding box of the pixels in the interior that differ from `background`.
QRect InkBox(const QImage& image, const QColor& background)
{
    QRect box;
    for (int y = 1; y < image.height() - 1; ++y)
        for (int x = 1; x < image.width() - 1; ++x)
            if (At(image, x, y) != background)
                box |= QRect(x, y, 1, 1);
    return box;
}

// A 16 x 16 magenta glyph with a blue 4 x 4 square in the middle.
QImage MagentaGlyph()
{
    QImage glyph(16, 16, QImage::Format_RGB32);
    glyph.fill(Qt::magenta);
    QPainter(&glyph).fillRect(6, 6, 4, 4, Qt::blue);
    return glyph;
}

} // namespace

TEST(TLumariaButtonTest, DefaultsAndCaptionFromName)
{
    QWidget parent;
    TLumariaButton button;
    EXPECT_EQ(button.size(), QSize(86, 22));
    EXPECT_TRUE(button.Caption().isEmpty());
    EXPECT_TRUE(button.Enabled());
    EXPECT_TRUE(button.ShowCaption());

    button.setObjectName(QStringLiteral("btnSearch"));
    button.SetCaption(QStringLiteral("before"));
    button.SetParent(&parent);
    EXPECT_EQ(button.Caption(), QStringLiteral("btnSearch"));
    button.SetCaption(QStringLiteral("Go"));
    EXPECT_EQ(button.Caption(), QStringLiteral("Go"));
    button.SetParent(nullptr);
}

TEST(TLumariaButtonTest, PlaceContent)
{
    struct Row
    {
        const char* name;
        QSize button, glyph, caption;
        bool showCaption;
        Look look;
        QRect glyphRect;
        QPoint captionPos;
    };
    const Row rows[] = {
        { "example normal",
          { 86, 22 },
          { 16, 16 },
          { 30, 14 },
          true,
          Look::Normal,
          QRect(QPoint(19, 3), QPoint(35, 18)),
          { 40, 4 } },
        { "example hover",
          { 86, 22 },
          { 16, 16 },
          { 30, 14 },
          true,
          Look::Hover,
          QRect(QPoint(19, 3), QPoint(35, 18)),
          { 40, 4 } },
        { "example pressed",
          { 86, 22 },
          { 16, 16 },
          { 30, 14 },
          true,
          Look::Pressed,
          QRect(QPoint(20, 4), QPoint(36, 19)),
          { 41, 5 } },
        { "glyph only", { 86, 22 }, { 16, 16 }, { 30, 14 }, false, Look::Normal, QRect(35, 3, 16, 16), {} },
        { "glyph only pressed", { 86, 22 }, { 16, 16 }, { 30, 14 }, false, Look::Pressed, QRect(36, 4, 16, 16), {} },
        { "caption only", { 86, 22 }, {}, { 30, 14 }, true, Look::Normal, {}, { 28, 4 } },
        { "caption only pressed", { 65, 22 }, {}, { 41, 15 }, true, Look::Pressed, {}, { 13, 5 } },
        // Half of a negative number truncates toward zero: half of (16 - 31) is -7.
        { "odd widths",
          { 81, 22 },
          { 16, 16 },
          { 31, 13 },
          true,
          Look::Normal,
          QRect(QPoint(16, 3), QPoint(32, 18)),
          { 37, 5 } },
        { "caption wider than button", { 40, 22 }, {}, { 61, 14 }, true, Look::Normal, {}, { -10, 4 } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto layout = TLumariaButton::PlaceContent(row.button, row.glyph, row.caption, row.showCaption, row.look);
        EXPECT_EQ(layout.HasGlyph, !row.glyph.isEmpty());
        EXPECT_EQ(layout.HasCaption, row.showCaption);
        if (layout.HasGlyph) {
            EXPECT_EQ(layout.GlyphRect, row.glyphRect);
        }
        if (row.showCaption) {
            EXPECT_EQ(layout.CaptionPos, row.captionPos);
        }
    }
}

TEST(TLumariaButtonTest, BackgroundBorderAndEdgesOfEachLook)
{
    QWidget parent;
    TLumariaButton button(&parent);
    button.SetShowCaption(false);
    button.SetColor(QColor(10, 20, 30));
    button.SetColorOver(QColor(128, 128, 128));
    button.SetColorDown(QColor(255, 255, 255));
    const int w = button.width();
    const int h = button.height();

    struct Probe
    {
        int x, y;
        QColor normal, hover, pressed;
    };
    const Probe probes[] = {
        { 0, 0, kBorder, kLight, kDark },
        { 0, 1, kBorder, kLight, kDark },
        { 0, h - 2, kBorder, kLight, kDark },
        { 0, h - 1, kBorder, kDark, kLight },
        { w - 2, 0, kBorder, kLight, kDark },
        { w - 1, 0, kBorder, kDark, kLight },
        { w - 1, h / 2, kBorder, kDark, kLight },
        { w - 1, h - 1, kBorder, kDark, kLight },
        { w / 2, h - 1, kBorder, kDark, kLight },
        { 1, 1, QColor(10, 20, 30), QColor(128, 128, 128), QColor(255, 255, 255) },
        { w - 2, h - 2, QColor(10, 20, 30), QColor(128, 128, 128), QColor(255, 255, 255) },
    };
    const QImage normal = Render(button, Look::Normal);
    const QImage hover = Render(button, Look::Hover);
    const QImage pressed = Render(button, Look::Pressed);
    for (const Probe& p : probes) {
        SCOPED_TRACE(testing::Message() << "pixel " << p.x << "," << p.y);
        EXPECT_EQ(At(normal, p.x, p.y), p.normal);
        EXPECT_EQ(At(hover, p.x, p.y), p.hover);
        EXPECT_EQ(At(pressed, p.x, p.y), p.pressed);
    }
    // No glyph and no caption: the interior is the background and nothing else.
    EXPECT_TRUE(InkBox(normal, QColor(10, 20, 30)).isNull());
    EXPECT_TRUE(InkBox(pressed, QColor(255, 255, 255)).isNull());
}

TEST(TLumariaButtonTest, GlyphTransparentColourTakesTheLookBackground)
{
    QWidget parent;
    TLumariaButton button(&parent);
    button.SetShowCaption(false);
    button.SetGlyph(MagentaGlyph());
    const struct
    {
        Look look;
        QColor background;
        QPoint shift;
    } looks[] = { { Look::Normal, button.Color(), { 0, 0 } },
                  { Look::Hover, button.ColorOver(), { 0, 0 } },
                  { Look::Pressed, button.ColorDown(), { 1, 1 } } };
    for (const auto& row : looks) {
        SCOPED_TRACE(static_cast<int>(row.look));
        const QImage image = Render(button, row.look);
        // Only the blue square remains visible, at glyph rect (35, 3) + (6, 6), shifted when pressed.
        EXPECT_EQ(InkBox(image, row.background), QRect(QPoint(41, 9) + row.shift, QSize(4, 4)));
        EXPECT_EQ(At(image, 43 + row.shift.x(), 11 + row.shift.y()), QColor(Qt::blue));
    }
}

TEST(TLumariaButtonTest, CaptionDrawnAtItsPlaceAndShiftedWhenPressed)
{
    QWidget parent;
    TLumariaButton button(&parent);
    button.SetCaption(QStringLiteral("Search"));
    button.SetColor(Qt::white);
    button.SetColorDown(Qt::white);
    const auto layout = button.ComputeLayout(Look::Normal);
    const QImage normal = Render(button, Look::Normal, Qt::black);
    const QRect ink = InkBox(normal, Qt::white);
    ASSERT_FALSE(ink.isNull());
    const QFontMetrics metrics(button.Font());
    EXPECT_TRUE(
        QRect(layout.CaptionPos, QSize(metrics.horizontalAdvance(button.Caption()), metrics.height())).contains(ink))
        << "ink outside the caption cell";

    const QImage pressed = Render(button, Look::Pressed, Qt::red);
    EXPECT_EQ(InkBox(pressed, Qt::white), ink.translated(1, 1));

    // With a glyph the caption moves right of it.
    button.SetGlyph(MagentaGlyph());
    const auto withGlyph = button.ComputeLayout(Look::Normal);
    EXPECT_GT(withGlyph.CaptionPos.x(), withGlyph.GlyphRect.right());
}

// The handlers, seen on the (offscreen) screen: each draws its look once.
class TLumariaButtonScreenTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_parent.resize(200, 80);
        m_button = new TLumariaButton(&m_parent);
        m_button->move(10, 10);
        m_button->SetCaption(QStringLiteral("Go"));
        m_button->SetColorDown(Qt::white);
        m_button->SetColorOver(QColor(128, 128, 128));
        m_parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_parent));
        PointAt(QPoint(190, 70));
    }

    // Puts the pointer at a place of the parent window (the release asks for the control under it).
    void PointAt(QPoint place)
    {
        QCursor::setPos(m_parent.mapToGlobal(place));
        QCoreApplication::processEvents();
    }

    QColor Shown()
    {
        const QImage shot = m_parent.screen()->grabWindow(m_parent.winId()).toImage();
        return At(shot, 12, 12);
    }
    void Enter()
    {
        QEnterEvent enter(QPointF(5, 5), QPointF(15, 15), m_button->mapToGlobal(QPointF(5, 5)));
        QCoreApplication::sendEvent(m_button, &enter);
    }
    void Leave()
    {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(m_button, &leave);
    }

    QWidget m_parent;
    TLumariaButton* m_button = nullptr;
};

TEST_F(TLumariaButtonScreenTest, HoverPressClickAndRepaint)
{
    QSignalSpy down(m_button, &TLumariaButton::MouseDown);
    QSignalSpy up(m_button, &TLumariaButton::MouseUp);
    QSignalSpy click(m_button, &TLumariaButton::Click);
    QSignalSpy enter(m_button, &TLumariaButton::MouseEnter);
    const QColor normal = m_button->Color();

    EXPECT_EQ(Shown(), normal);
    Enter();
    EXPECT_EQ(Shown(), QColor(128, 128, 128));
    Leave();
    EXPECT_EQ(Shown(), normal);

    Enter();
    QTest::mousePress(m_button, Qt::LeftButton, Qt::ShiftModifier, QPoint(7, 8));
    EXPECT_EQ(Shown(), QColor(Qt::white));
    ASSERT_EQ(down.count(), 1);
    EXPECT_EQ(down[0][0].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(down[0][1].value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    EXPECT_EQ(down[0][2].toInt(), 7);
    EXPECT_EQ(down[0][3].toInt(), 8);

    // While the click handler runs the normal look is shown; after the release, the hover look.
    QColor seenDuringClick;
    QObject::connect(m_button, &TLumariaButton::Click, m_button, [&] { seenDuringClick = Shown(); });
    PointAt(QPoint(17, 18));
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(7, 8));
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(up.count(), 1);
    EXPECT_EQ(seenDuringClick, normal);
    EXPECT_EQ(Shown(), QColor(128, 128, 128));

    // Any later ordinary repaint draws the normal look, pointer or not.
    m_button->Paint();
    EXPECT_EQ(Shown(), normal);
    EXPECT_EQ(enter.count(), 0);

    // Only the left button counts.
    QTest::mousePress(m_button, Qt::RightButton, {}, QPoint(7, 8));
    QTest::mouseRelease(m_button, Qt::RightButton, {}, QPoint(7, 8));
    EXPECT_EQ(down.count(), 1);
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(Shown(), normal);
}

TEST_F(TLumariaButtonScreenTest, ReleaseOutsideFiresMouseUpButNoClickAndDrawsNothing)
{
    QSignalSpy up(m_button, &TLumariaButton::MouseUp);
    QSignalSpy click(m_button, &TLumariaButton::Click);
    QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(150, 50));
    EXPECT_EQ(click.count(), 0);
    EXPECT_EQ(up.count(), 1);
    EXPECT_EQ(Shown(), QColor(Qt::white));
}

TEST_F(TLumariaButtonScreenTest, DisabledShowsNoLooksAndFiresNothing)
{
    QSignalSpy down(m_button, &TLumariaButton::MouseDown);
    QSignalSpy up(m_button, &TLumariaButton::MouseUp);
    QSignalSpy click(m_button, &TLumariaButton::Click);
    const QColor normal = m_button->Color();

    Enter();
    m_button->SetEnabled(false);
    EXPECT_TRUE(m_button->isEnabled()) << "the own flag leaves the widget's enabled state alone";
    QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Shown(), QColor(128, 128, 128)) << "a disabled press draws nothing";
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Shown(), normal) << "the click still draws the normal look";
    EXPECT_EQ(down.count(), 0);
    EXPECT_EQ(up.count(), 0);
    EXPECT_EQ(click.count(), 0);

    Enter();
    EXPECT_EQ(Shown(), normal);
    m_button->SetEnabled(true);
    Enter();
    EXPECT_EQ(Shown(), QColor(128, 128, 128));
    m_button->SetEnabled(false);
    Leave();
    EXPECT_EQ(Shown(), normal);
}

TEST_F(TLumariaButtonScreenTest, SettersThatRedrawShowTheNormalLookAtOnce)
{
    Enter();
    m_button->SetColor(QColor(1, 2, 3));
    EXPECT_EQ(Shown(), QColor(1, 2, 3));
    Enter();
    m_button->SetColorOver(QColor(9, 9, 9)); // a plain field: no redraw
    EXPECT_EQ(Shown(), QColor(128, 128, 128));
    m_button->SetShowCaption(false);
    EXPECT_EQ(Shown(), QColor(1, 2, 3));
}

TEST_F(TLumariaButtonScreenTest, DraggingOffAndBackWhileHeldSwitchesNormalAndHover)
{
    QSignalSpy click(m_button, &TLumariaButton::Click);
    const QColor normal = m_button->Color();
    const QColor hover(128, 128, 128);

    // QTest keeps the left button held between the press and the release, so these moves carry it.
    QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Shown(), QColor(Qt::white));
    QTest::mouseMove(m_button, QPoint(150, 50));
    EXPECT_EQ(Shown(), normal) << "stepping out while held";
    QTest::mouseMove(m_button, QPoint(6, 6));
    EXPECT_EQ(Shown(), hover) << "stepping back in while held";
    m_button->Paint();
    QTest::mouseMove(m_button, QPoint(7, 7));
    EXPECT_EQ(Shown(), normal) << "moving about inside draws nothing new";
    QTest::mouseMove(m_button, QPoint(-20, 5));
    EXPECT_EQ(Shown(), normal);
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(-20, 5));
    EXPECT_EQ(click.count(), 0);

    // A move without a held button is the framework's business (enter and leave), not the drag's.
    Enter();
    QMouseEvent looseMove(QEvent::MouseMove, QPointF(150, 50), m_button->mapToGlobal(QPointF(150, 50)), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_button, &looseMove);
    EXPECT_EQ(Shown(), hover);
    Leave();

    // Disabled: stepping out still draws the normal look, stepping back in draws nothing.
    Enter();
    m_button->SetEnabled(false);
    QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Shown(), hover);
    QTest::mouseMove(m_button, QPoint(150, 50));
    EXPECT_EQ(Shown(), normal);
    m_button->SetColor(QColor(1, 2, 3));
    QTest::mouseMove(m_button, QPoint(5, 5));
    EXPECT_EQ(Shown(), QColor(1, 2, 3));
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(150, 50));
}

TEST_F(TLumariaButtonScreenTest, ReleaseShowsHoverOnlyWhileThePointerIsStillOverTheButton)
{
    const QColor normal = m_button->Color();
    PointAt(QPoint(15, 15));

    QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Shown(), QColor(128, 128, 128));

    // A long click handler during which the pointer moved away: the release happened inside, but the pointer
    // is no longer there.
    const auto moveAway
        = QObject::connect(m_button, &TLumariaButton::Click, m_button, [this] { PointAt(QPoint(150, 60)); });
    QTest::mousePress(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(Shown(), normal);
    QObject::disconnect(moveAway);
}

TEST_F(TLumariaButtonScreenTest, DoubleClickIsOneClick)
{
    QSignalSpy down(m_button, &TLumariaButton::MouseDown);
    QSignalSpy up(m_button, &TLumariaButton::MouseUp);
    QSignalSpy click(m_button, &TLumariaButton::Click);
    const auto send = [this](QEvent::Type type, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(5, 5), m_button->mapToGlobal(QPointF(5, 5)), Qt::LeftButton, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(m_button, &event);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_EQ(Shown(), QColor(Qt::white)) << "the second press shows the pressed look";
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(click.count(), 1);
    EXPECT_EQ(down.count(), 2);
    EXPECT_EQ(up.count(), 2);

    // The next single click counts again.
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(click.count(), 2);
}

TEST_F(TLumariaButtonScreenTest, TheKeyboardFocusesAndClicksIt)
{
    QSignalSpy click(m_button, &TLumariaButton::Click);
    const QColor normal = m_button->Color();
    auto* field = new QLineEdit(&m_parent);
    field->setGeometry(10, 40, 100, 24);
    field->show();
    m_parent.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&m_parent));
    field->setFocus();

    // A mouse click leaves the focus where it was; Tab reaches the button.
    EXPECT_EQ(m_button->focusPolicy(), Qt::TabFocus);
    QTest::mouseClick(m_button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(field->hasFocus());
    const QImage unfocused = m_button->grab().toImage();
    QTest::keyClick(field, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_TRUE(m_button->hasFocus());
    const QImage focused = m_button->grab().toImage();
    EXPECT_NE(focused, unfocused) << "the focus shows";
    EXPECT_EQ(InkBox(focused, normal), InkBox(unfocused, normal) | QRect(3, 3, 80, 16));

    // Space: pressed while held, a click on release. Enter: a click at once.
    QTest::keyPress(m_button, Qt::Key_Space);
    EXPECT_EQ(Shown(), QColor(Qt::white));
    EXPECT_EQ(click.count(), 1);
    QTest::keyRelease(m_button, Qt::Key_Space);
    EXPECT_EQ(click.count(), 2);
    EXPECT_EQ(Shown(), normal);
    QTest::keyClick(m_button, Qt::Key_Return);
    QTest::keyClick(m_button, Qt::Key_Enter);
    EXPECT_EQ(click.count(), 4);

    // Disabled by its own flag: no look, no click.
    m_button->SetEnabled(false);
    QTest::keyPress(m_button, Qt::Key_Space);
    EXPECT_EQ(Shown(), normal);
    QTest::keyRelease(m_button, Qt::Key_Space);
    QTest::keyClick(m_button, Qt::Key_Return);
    EXPECT_EQ(click.count(), 4);
}
