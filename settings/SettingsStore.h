#pragma once
// The preferences while the program runs: read from the settings file at
// start, changed as the settings dialog's controls change, written back at
// the end. Whoever needs a preference reads it here when it needs it.
#include "settings/SettingsModel.h"
#include "settings/WindowSettings.h"

#include <QObject>
#include <QString>

class SettingsStore : public QObject {
    Q_OBJECT
public:
    // Reads `path`; a missing file, section or key gives the defaults.
    explicit SettingsStore(const QString& path, QObject* parent = nullptr);

    const QString& path() const { return m_path; }
    const SettingsValues& values() const { return m_values; }
    void setValues(const SettingsValues& values);
    // What the main window remembers; set at the end, before save().
    const WindowSettings& window() const { return m_window; }
    void setWindow(const WindowSettings& window) { m_window = window; }
    // Writes every key into the settings file, keeping its other lines;
    // throws AppError("Unable to write to %s").
    void save() const;

signals:
    void changed();

private:
    QString m_path;
    SettingsValues m_values;
    WindowSettings m_window;
};
