#pragma once
// What the settings dialog pushes into the rest of the program. The main
// window implements it, so the dialog needs none of the main window's headers.
#include "settings/SettingsModel.h"
#include "settings/UiText.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

class SettingsTarget {
public:
    virtual ~SettingsTarget() = default;
    // The comment line under the main image (LabelComent).
    virtual void setCommentFont(const QFont& font, const QColor& color) = 0;
    // The thumbnail strip (Panel1) and the fill of its cursor frame.
    virtual void setStripColor(const QColor& color) = 0;
    // The main image area (BordShape).
    virtual void setMainColor(const QColor& color) = 0;
    // The comments window's label font and its opacity: an alpha value
    // 1..255, or std::nullopt for alpha blending off.
    virtual void setCommentsWindow(const QFont& font, const QColor& color, std::optional<int> alpha) = 0;
    // Whether JPEGs are turned upright by their EXIF orientation.
    virtual void setAutoOrient(bool) {}
    // Whether pictures are drawn in the screen's colours (their colour
    // profiles converted to sRGB) or as their values are stored.
    virtual void setColorManaged(bool) {}
    // Every preference as last read or applied.
    virtual void setAppliedSettings(const SettingsValues&) {}
    // What the comment line shows now, for the font preview.
    virtual QString commentLineText() const = 0;
    // The program-wide texts, which the language file may replace.
    virtual QString programText(ProgramText id) const = 0;
    virtual void setProgramText(ProgramText id, const QString& text) = 0;
};
