#include "support/temp_settings.h"

#include <QDir>

namespace vesk::test {

TempSettings::TempSettings() = default;

QString TempSettings::FileName() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("settings.ini"));
}

std::unique_ptr<QSettings> TempSettings::Open() const
{
    return std::make_unique<QSettings>(FileName(), QSettings::IniFormat);
}

void TempSettings::Put(const QString& section, const QString& name, const QString& text) const
{
    QSettings store(FileName(), QSettings::IniFormat);
    store.setValue(section + u'/' + name, text);
}

QString TempSettings::Get(const QString& section, const QString& name) const
{
    const QSettings store(FileName(), QSettings::IniFormat);
    return store.value(section + u'/' + name).toString();
}

bool TempSettings::Has(const QString& section, const QString& name) const
{
    const QSettings store(FileName(), QSettings::IniFormat);
    return store.contains(section + u'/' + name);
}

} // namespace vesk::test
