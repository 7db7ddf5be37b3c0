#include "app/shell_open.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace vesk {

int ShellOpen(QWidget* /*parent*/, const QString& item, const QString& parameters, const QString& directory,
              int /*showMode*/)
{
    if (item.trimmed().isEmpty() || !parameters.isEmpty())
        return 0;
    const QString base = directory.isEmpty() ? QDir::currentPath() : directory;
    const QUrl url = QUrl::fromUserInput(item, base, QUrl::AssumeLocalFile);
    if (!url.isValid())
        return 0;
    return QDesktopServices::openUrl(url) ? 1 : 0;
}

} // namespace vesk
