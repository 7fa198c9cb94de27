#pragma once
// The settings dialog. Every edit reaches the settings store as it is made,
// so the slide show reads it at its next start or step; OK (or Esc, Enter,
// the frame's close box: there is no Cancel) applies the fonts, colours and
// transparency to the windows and hides the dialog. The store, not the
// dialog, reads and writes the settings file.
#include <QDialog>

#include <functional>

class DialogProvider;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QSlider;
class QTabBar;
class QToolButton;
class SettingsStore;
struct SettingsValues;
struct UiProgramTexts;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // Both must outlive the dialog; `texts` gives the restart message.
    SettingsDialog(SettingsStore& store, const UiProgramTexts& texts, DialogProvider& dialogs,
                   QWidget* parent = nullptr);

    // The main window's Settings command; the font preview shows the
    // comment line's text.
    void showFromMain(const QString& commentLineText);
    // OK: the code page checked and taken, the visual preferences applied.
    void applySettings();

signals:
    // OK took the preferences: the windows show them now.
    void applied();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMainPage();
    void buildCommentsGroup();
    void buildSlideShowPage();
    // The controls show the store's values, and from then on edit them.
    void showValues();
    void connectEdits();
    void edit(const std::function<void(SettingsValues&)>& change);

    void showPage(int index);
    void chooseCommentFont();
    void updateSoundControls();
    void chooseSoundFile();
    void chooseLanguage(int index);
    // Makes the item of "English" or a language file's path current.
    void showLanguage(const QString& languageSetting);
    void colorChosen(QComboBox* box);
    void fillColorBox(QComboBox* box);
    void selectColor(QComboBox* box, qint32 value);
    qint32 selectedColor(const QComboBox* box) const;
    void showFontPreview();

    SettingsStore& m_store;
    const UiProgramTexts& m_texts;
    DialogProvider& m_dialogs;

    QTabBar* m_pageTabs = nullptr;
    QFrame* m_mainPage = nullptr;
    QFrame* m_slideShowPage = nullptr;
    QComboBox* m_languageBox = nullptr;
    QComboBox* m_codePageBox = nullptr;
    QToolButton* m_fontButton = nullptr;
    QLabel* m_fontPreview = nullptr;
    QSlider* m_transparencySlider = nullptr;
    QComboBox* m_stripColorBox = nullptr;
    QComboBox* m_mainColorBox = nullptr;
    QCheckBox* m_autoOrientBox = nullptr;
    QCheckBox* m_colorManagedBox = nullptr;
    QCheckBox* m_fitPicturesBox = nullptr;
    QLineEdit* m_delayEdit = nullptr;
    QCheckBox* m_fullScreenBox = nullptr;
    QCheckBox* m_soundBox = nullptr;
    QLineEdit* m_soundEdit = nullptr;
    QToolButton* m_browseButton = nullptr;
    QToolButton* m_okButton = nullptr;
};
