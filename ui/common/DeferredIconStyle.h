#pragma once
// The desktop's style, with its standard icons read from their files only
// when one is first drawn. Reading them makes Qt load every image plugin,
// which the first frame doesn't need (the menu bar asks for an icon it
// shows only when the window is too narrow for its menus).
#include <QProxyStyle>

class DeferredIconStyle : public QProxyStyle {
public:
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};
