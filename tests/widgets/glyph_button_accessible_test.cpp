// The glyph button as assistive tools see it: through QAccessible, as a screen reader would.
#include "widgets/glyph_button.h"

#include <QAccessible>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

using vesk::TLumariaButton;

TEST(GlyphButtonAccessibleTest, APushButtonNamedByItsCaptionThatPressesLikeTheKeyboard)
{
    QWidget panel;
    auto* button = new TLumariaButton;
    button->setObjectName(QStringLiteral("goButton"));
    button->SetParent(&panel);
    button->SetCaption(QStringLiteral("Search"));
    panel.show();
    int clicks = 0;
    QObject::connect(button, &TLumariaButton::Click, [&clicks] { ++clicks; });

    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(button);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Button);
    EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("Search"));
    EXPECT_TRUE(face->state().focusable);
    EXPECT_FALSE(face->state().disabled);
    QAccessibleActionInterface* actions = face->actionInterface();
    ASSERT_NE(actions, nullptr);
    const QString press = QAccessibleActionInterface::pressAction();
    ASSERT_TRUE(actions->actionNames().contains(press));

    // The tool's call returns before the click runs (a click may run a whole search), then the click comes once.
    actions->doAction(press);
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(QTest::qWaitFor([&clicks] { return clicks == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 1);

    // The name follows the caption, and a name given on purpose wins.
    button->SetCaption(QStringLiteral("Find"));
    EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("Find"));
    button->setAccessibleName(QStringLiteral("Start the search"));
    EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("Start the search"));

    // The button's own flag off: shown disabled, no press offered, and a press asked anyway clicks nothing.
    button->SetEnabled(false);
    EXPECT_TRUE(face->state().disabled);
    EXPECT_FALSE(actions->actionNames().contains(press));
    actions->doAction(press);
    QTest::qWait(20);
    EXPECT_EQ(clicks, 1);

    // A button gone before its queued press runs: nothing happens.
    button->SetEnabled(true);
    actions->doAction(press);
    delete button;
    QTest::qWait(20);
    EXPECT_EQ(clicks, 1);
}
