/// What assistive tools (screen readers) see of the glyph button: a push button with its caption and a press.
#pragma once

#include <QAccessibleWidget>

namespace vesk {

class TLumariaButton;

/// The glyph button as a button: its accessible name (the caption unless one was set), a focusable, pressable
/// state that follows its own Enabled flag, and the press action, which clicks it as the keyboard does.
class GlyphButtonAccessible : public QAccessibleWidget
{
public:
    explicit GlyphButtonAccessible(TLumariaButton* button);

    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

private:
    TLumariaButton* Button() const;
};

/// Makes QAccessible build a GlyphButtonAccessible for every glyph button; installing it again does nothing.
void InstallGlyphButtonAccessibility();

} // namespace vesk
