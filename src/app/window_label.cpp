#include "app/window_label.h"

#include <QFont>
#include <QLabel>

namespace vesk {

QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, const QFont& font, int x, int y,
                 int wrapWidth)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    if (wrapWidth > 0) {
        label->setWordWrap(true);
        label->setFixedWidth(wrapWidth);
    }
    label->adjustSize();
    label->move(x, y);
    return label;
}

} // namespace vesk
