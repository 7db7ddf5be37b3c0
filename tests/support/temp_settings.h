#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace vesk::test {

/// A settings store of its own for one test: an INI file in a fresh temporary folder, removed with the object.
class TempSettings
{
public:
    TempSettings();

    /// Path of the INI file (it may not exist yet).
    QString FileName() const;
    /// A new QSettings on the file, as TReg takes it.
    std::unique_ptr<QSettings> Open() const;
    /// Stores `text` as `section`/`name` directly, as another program would.
    void Put(const QString& section, const QString& name, const QString& text) const;
    /// The stored value of `section`/`name` as text; empty when absent.
    QString Get(const QString& section, const QString& name) const;
    /// True when `section`/`name` is stored.
    bool Has(const QString& section, const QString& name) const;

private:
    QTemporaryDir m_dir;
};

} // namespace vesk::test
