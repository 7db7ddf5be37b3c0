/// Window labels: the one way the windows put a fixed text in place.
#pragma once

#include <QString>

class QFont;
class QLabel;
class QWidget;

namespace vesk {

/// A label named `name` on `parent` showing `text` in `font`, sized to its text and placed at (`x`, `y`). With a
/// `wrapWidth` above 0 the text wraps within that width instead.
QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, const QFont& font, int x, int y,
                 int wrapWidth = -1);

} // namespace vesk
