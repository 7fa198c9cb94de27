#pragma once
// The picture information panel: a side panel of the main window that
// tells the facts and camera values of the picture shown, as selectable
// text; each value's name is what a screen reader says for it. Rows the
// picture has no value for are hidden.
#include "viewer/PictureInfo.h"

#include <QDockWidget>

#include <functional>

class QFormLayout;
class QLabel;
class QPushButton;

class PictureInfoPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit PictureInfoPanel(QWidget* parent = nullptr);

    void showInfo(const PictureInfo& info, const QString& comment, const InfoWords& words);
    // A picture that can't be read: its name, and why.
    void showFailure(const QString& path, const QString& message);
    void clear();

    QLabel* valueLabel(InfoField field) const { return m_values[std::size_t(field)]; }
    QPushButton* mapButton() const { return m_mapButton; }
    // How "Show on map" opens its link: the desktop's handler unless replaced.
    void setLinkOpener(std::function<void(const QUrl&)> open) { m_open = std::move(open); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showTexts(const std::array<QString, InfoFieldCount>& texts);

    QFormLayout* m_form = nullptr;
    std::array<QLabel*, InfoFieldCount> m_names{};
    std::array<QLabel*, InfoFieldCount> m_values{};
    QWidget* m_positionField = nullptr; // the position's value and its map button
    QPushButton* m_mapButton = nullptr;
    std::optional<QUrl> m_mapLink;
    std::function<void(const QUrl&)> m_open;
};
