#pragma once
// The running program: the settings store, the session and the windows that
// share it, made in their order at start and ended together. Nothing of it
// lives at file scope; main() and the tests each hold one.
#include "settings/SettingsModel.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class AboutBox;
class CollectionEditor;
class CommentsWindow;
class DialogProvider;
class EarlyDecode;
class EffectsDialog;
class HelpBinding;
class MainWindow;
class SettingsDialog;
class SettingsStore;
class SoundPlayer;
class ViewerSession;
struct WindowSettings;

// The desktop's services the windows reach through the program; null
// stands for the desktop's own. Tests hand in fakes.
struct ProgramServices {
    SoundPlayer* sound = nullptr;
    // Every window's boxes and file dialogs, and the error box of a failed
    // command.
    DialogProvider* dialogs = nullptr;
};

class Program {
public:
    // Reads the settings file at `settingsPath` and makes the windows. A
    // collection named on `commandLine` (the arguments after the program's
    // name, joined with blanks), or else the one the last run ended with, is
    // opened once the main window has shown its first frame.
    Program(const QString& settingsPath, const QStringList& commandLine, ProgramServices services = {});
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The program's end: writes the settings file, a failure told through
    // the error path like any command's.
    void finish();

    // Whether the collection of the start is still waiting for the main
    // window's first frame, or still being read.
    bool openingAtStart() const;

    SettingsStore& settings() const { return *m_settings; }
    DialogProvider& dialogs() const { return *m_dialogs; }
    ViewerSession& session() const { return *m_session; }
    MainWindow& mainWindow() const { return *m_main; }
    // The other windows, each built when first asked for, here or by the
    // main window's commands.
    EffectsDialog& effectsDialog() const;
    CollectionEditor& collectionEditor() const;
    SettingsDialog& settingsDialog() const;
    CommentsWindow& commentsWindow() const;
    HelpBinding& help() const { return *m_help; }

private:
    // Fonts, colours, transparency and the way JPEGs are read, from the
    // settings into the windows: at start and at each OK of the dialog.
    void applyVisualSettings();
    void applyLanguage();
    void setPeersOnFirstUse();
    // Puts the texts of the start's language into a window built later.
    template <class Window> Window* withTexts(Window* window) const;
    void openAtStart(const QStringList& commandLine, const WindowSettings& remembered);
    // Starts reading the picture the start shows first, when known, before
    // the windows are made.
    void startEarlyDecode(const QStringList& commandLine, const WindowSettings& remembered);

    std::unique_ptr<SoundPlayer> m_ownSound; // when none was handed in
    SoundPlayer* m_sound;
    std::unique_ptr<DialogProvider> m_ownDialogs;
    DialogProvider* m_dialogs;
    std::unique_ptr<SettingsStore> m_settings;
    // The settings as the start read them or the dialog's last OK left them.
    SettingsValues m_applied;
    std::unique_ptr<ViewerSession> m_session;
    std::unique_ptr<HelpBinding> m_help;
    // Held to the program's end: let go of while its work runs, it would wait
    // for that work wherever it was let go of.
    std::shared_ptr<EarlyDecode> m_earlyDecode;
    std::unique_ptr<MainWindow> m_main;
    QObject* m_focusReturn = nullptr; // the main window's child
    // The language the windows show; a new one takes effect at the next start.
    QString m_language;
    std::unique_ptr<CollectionEditor> m_editor;
    std::unique_ptr<SettingsDialog> m_settingsDialog;
    std::unique_ptr<CommentsWindow> m_comments;
    QPointer<QObject> m_startOpen;
};
