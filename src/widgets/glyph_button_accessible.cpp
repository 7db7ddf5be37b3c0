#include "widgets/glyph_button_accessible.h"

#include "widgets/glyph_button.h"

#include <QPointer>
#include <QTimer>

namespace vesk {

namespace {

QAccessibleInterface* MakeGlyphButtonAccessible(const QString& className, QObject* object)
{
    if (className != QLatin1String(TLumariaButton::staticMetaObject.className()))
        return nullptr;
    auto* button = qobject_cast<TLumariaButton*>(object);
    return button != nullptr ? new GlyphButtonAccessible(button) : nullptr;
}

} // namespace

GlyphButtonAccessible::GlyphButtonAccessible(TLumariaButton* button)
    : QAccessibleWidget(button, QAccessible::Button)
{ }

TLumariaButton* GlyphButtonAccessible::Button() const
{
    return static_cast<TLumariaButton*>(widget());
}

QString GlyphButtonAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
        return Button()->Caption();
    return QAccessibleWidget::text(kind);
}

QAccessible::State GlyphButtonAccessible::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    // The button's own flag decides whether a press does anything, not QWidget's enabled state alone.
    if (!Button()->Enabled())
        state.disabled = true;
    return state;
}

QStringList GlyphButtonAccessible::actionNames() const
{
    QStringList names;
    if (Button()->Enabled() && widget()->isEnabled())
        names << pressAction();
    return names << QAccessibleWidget::actionNames();
}

void GlyphButtonAccessible::doAction(const QString& actionName)
{
    if (actionName != pressAction()) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    // A click may run a whole search; the assistive tool's call returns first, as a keyboard press would.
    QPointer<TLumariaButton> button = Button();
    QTimer::singleShot(0, button, [button] {
        if (!button.isNull())
            button->Press();
    });
}

QStringList GlyphButtonAccessible::keyBindingsForAction(const QString& actionName) const
{
    if (actionName == pressAction())
        return { QStringLiteral("Space") };
    return QAccessibleWidget::keyBindingsForAction(actionName);
}

void InstallGlyphButtonAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(&MakeGlyphButtonAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace vesk
