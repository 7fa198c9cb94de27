#include "settings/SettingsStore.h"

#include "settings/IniFile.h"

SettingsStore::SettingsStore(const QString& path, QObject* parent) : QObject(parent), m_path(path)
{
    const IniFile ini(path);
    m_values = loadSettings(ini);
    m_window = loadWindowSettings(ini);
}

void SettingsStore::setValues(const SettingsValues& values)
{
    if (values == m_values)
        return;
    m_values = values;
    emit changed();
}

void SettingsStore::save() const
{
    IniFile ini(m_path);
    storeSettings(ini, m_values);
    storeWindowSettings(ini, m_window);
    ini.save();
}
