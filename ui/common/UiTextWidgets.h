#pragma once
// Puts the interface texts into live windows, finding windows and elements
// by object name: "frmMain" and its "mnuNew", "ToolButton2", ...
#include "settings/UiText.h"

#include <QList>
#include <functional>

class QObject;
class QWidget;

class WidgetTextSink : public UiTextSink {
public:
    using ProgramTextSetter = std::function<void(ProgramText, const QString&)>;

    // No windows given: the application's top-level widgets at each lookup.
    explicit WidgetTextSink(QList<QWidget*> windows = {}, ProgramTextSetter programTexts = {});

    bool setText(const UiTarget& target, const QString& text) override;
    std::optional<QString> text(const UiTarget& target) const override;
    void setProgramText(ProgramText id, const QString& text) override;

    QWidget* window(const UiTarget& target) const;

private:
    QList<QObject*> elements(const UiTarget& target) const;

    QList<QWidget*> m_windows;
    ProgramTextSetter m_programTexts;
};

// Every element of the window with this object name (a name can be carried
// by a menu's action and by the menu itself only if the window chose so).
QList<QObject*> findElements(QWidget* window, const QString& objectName);
