#pragma once
// SettingsDialog: the settings dialog. Its controls hold the preferences while
// the program runs; it reads the settings file when created and writes it
// when destroyed.
#include "settings/SettingsModel.h"

#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTabBar;
class QToolButton;
class SettingsTarget;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // The target receives the visual preferences; it must outlive the dialog.
    SettingsDialog(SettingsTarget* target, const QString& settingsPath, QWidget* parent = nullptr);
    // Writes the settings file; a failure is reported, never thrown.
    ~SettingsDialog() override;

    // The main window's Settings command.
    void showFromMain();
    // Writes the settings file now; throws AppError("Unable to write to %s").
    void saveSettings();

    // What the controls hold now, applied or not.
    QString delayText() const;
    bool autoFullScreen() const;
    bool backgroundSound() const;
    QString wavFile() const;
    QFont commentFont() const { return m_font; }
    QColor commentColor() const;
    int transparency() const;
    const QString& languageSetting() const { return m_values.languageSetting; }
    // The controls' state as the settings file stores it.
    SettingsValues currentValues() const;

    void applySettings();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildContents();
    void TabControl1Change(int index);
    void chooseCommentFont();
    void updateSoundControls();
    void chooseSoundFile();
    void ComboLngChange(int index);
    void ColorBoxChange(QComboBox* box);

    void buildControls();
    void buildMainPage();
    void buildCommentsGroup();
    void buildSlideShowPage();
    void fillColorBox(QComboBox* box);
    void selectColor(QComboBox* box, qint32 value);
    qint32 selectedColor(const QComboBox* box) const;
    void showFontPreview();

    SettingsTarget* m_target;
    QString m_path;
    SettingsValues m_values; // the values that live outside the controls
    QFont m_font;

    QTabBar* TabControl1 = nullptr;
    QFrame* Panel1 = nullptr;
    QFrame* Panel2 = nullptr;
    QComboBox* ComboLng = nullptr;
    QComboBox* ComboCodePage = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QLabel* lblCurFont = nullptr;
    QSlider* TranspBar = nullptr;
    QComboBox* ColorBoxPrev = nullptr;
    QComboBox* ColorBoxMain = nullptr;
    QCheckBox* chkAutoOrient = nullptr;
    QCheckBox* chkColorManaged = nullptr;
    QLineEdit* edDelay = nullptr;
    QCheckBox* chkAuto = nullptr;
    QCheckBox* chkBckgr = nullptr;
    QLineEdit* wavName = nullptr;
    QToolButton* btnBrowse = nullptr;
    QToolButton* btnOK = nullptr;
};
