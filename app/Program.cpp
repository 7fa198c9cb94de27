#include "app/Program.h"

#include "core/FileNames.h"
#include "core/TextEncoding.h"
#include "platform/SoundPlayer.h"
#include "platform/SystemColors.h"
#include "settings/SettingsStore.h"
#include "ui/common/AboutBox.h"
#include "ui/common/CommentsWindow.h"
#include "ui/common/Dialogs.h"
#include "ui/common/RunCommand.h"
#include "ui/common/UiTextWidgets.h"
#include "ui/editor/CollectionEditor.h"
#include "ui/effects/EffectsDialog.h"
#include "ui/help/HelpBinding.h"
#include "ui/main/MainCommands.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/settings/SettingsDialog.h"
#include "viewer/DecodeAhead.h"
#include "viewer/FolderPictures.h"
#include "viewer/ViewerSession.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <functional>
#include <unistd.h>

namespace {

// The keyboard goes back to the main window when one of the windows it
// opened is closed, not to whatever the desktop picks.
class FocusReturn : public QObject {
public:
    // Windows are watched by installing this as their event filter.
    explicit FocusReturn(QWidget* home) : QObject(home), m_home(home) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && m_home->isVisible() &&
            static_cast<QWidget*>(watched)->isWindow())
            m_home->activateWindow();
        return false;
    }

private:
    QWidget* m_home;
};

// The texts of a window built after the start: written into it alone, with
// the main window there to copy from.
class OneWindowTextSink : public WidgetTextSink {
public:
    OneWindowTextSink(QWidget* window, QWidget* main) : WidgetTextSink({window, main}), m_window(window) {}
    bool setText(const UiTarget& target, const QString& text) override
    {
        return window(target) == m_window && WidgetTextSink::setText(target, text);
    }

private:
    QWidget* m_window;
};

// Runs `work` once `window` has painted its first frame: the collection
// read at start then shows in a window that is already on the screen.
class AfterFirstFrame : public QObject {
public:
    AfterFirstFrame(QWidget* window, std::function<void()> work) : QObject(window), m_work(std::move(work))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // Queued, so the frame is flushed to the screen first.
            QTimer::singleShot(0, this, [this] {
                m_work();
                deleteLater();
            });
        }
        return false;
    }

private:
    std::function<void()> m_work;
};

// What the command line names: a path with blanks arrives split by the
// shell, joined again here.
QString namedAtStart(const QStringList& commandLine)
{
    return commandLine.value(0).isEmpty() ? QString() : commandLine.join(QLatin1Char(' '));
}

} // namespace

Program::Program(const QString& settingsPath, const QStringList& commandLine, ProgramServices services)
    : m_ownSound(services.sound ? nullptr : std::make_unique<QtSoundPlayer>()),
      m_sound(services.sound ? services.sound : m_ownSound.get()),
      m_ownDialogs(services.dialogs ? nullptr : std::make_unique<DialogProvider>()),
      m_dialogs(services.dialogs ? services.dialogs : m_ownDialogs.get()),
      m_settings(std::make_unique<SettingsStore>(settingsPath)),
      m_session(std::make_unique<ViewerSession>(*m_settings)),
      m_help(std::make_unique<HelpBinding>(*m_dialogs))
{
    // A collection named on the command line is read with the settings'
    // orientation already in force.
    m_session->applySettings();
    const WindowSettings& remembered = m_settings->window();
    startEarlyDecode(commandLine, remembered);
    // The main window now; the others when they are first needed.
    m_main = std::make_unique<MainWindow>(*m_session, *m_sound, *m_dialogs);
    MainWindow* main = m_main.get();
    if (m_earlyDecode)
        main->decoder()->takeEarly(m_earlyDecode);
    m_focusReturn = new FocusReturn(main);
    setPeersOnFirstUse();
    main->restore(remembered);
    openAtStart(commandLine, remembered);
    applyVisualSettings();
    m_language = m_settings->values().languageSetting;
    applyLanguage();
}

void Program::setPeersOnFirstUse()
{
    MainWindow* main = m_main.get();
    MainWindow::Peers peers;
    peers.effects = OnFirstUse<EffectsDialog>([this, main] {
        return withTexts(new EffectsDialog(
            *m_session, *m_dialogs, [main] { return main->mainImage()->picture(); }, main));
    });
    peers.editor = OnFirstUse<CollectionEditor>([this] {
        m_editor = std::make_unique<CollectionEditor>(*m_session, *m_dialogs);
        m_editor->installEventFilter(m_focusReturn);
        return withTexts(m_editor.get());
    });
    peers.about = OnFirstUse<AboutBox>([this, main] { return withTexts(new AboutBox(main)); });
    peers.settings = OnFirstUse<SettingsDialog>([this, main] {
        m_settingsDialog = std::make_unique<SettingsDialog>(*m_settings, m_session->texts(), *m_dialogs);
        QObject::connect(m_settingsDialog.get(), &SettingsDialog::applied, main,
                         [this] { applyVisualSettings(); });
        m_settingsDialog->installEventFilter(m_focusReturn);
        return withTexts(m_settingsDialog.get());
    });
    peers.comments = OnFirstUse<CommentsWindow>([this, main] {
        // Its font and transparency are those of the last OK, not edits
        // the settings dialog still holds.
        m_comments =
            std::make_unique<CommentsWindow>(m_applied, main->commands().action(ViewerCommand::Comments));
        m_comments->setCommentText(main->commentsText());
        m_comments->installEventFilter(m_focusReturn);
        return m_comments.get();
    });
    m_help->setTexts(&m_session->texts(), [this](QWidget* window) { withTexts(window); });
    peers.help = m_help.get();
    peers.store = m_settings.get();
    main->setPeers(std::move(peers));
}

EffectsDialog& Program::effectsDialog() const
{
    return *m_main->peers().effects.get();
}

CollectionEditor& Program::collectionEditor() const
{
    return *m_main->peers().editor.get();
}

SettingsDialog& Program::settingsDialog() const
{
    return *m_main->peers().settings.get();
}

CommentsWindow& Program::commentsWindow() const
{
    return *m_main->peers().comments.get();
}

Program::~Program() = default;

void Program::openAtStart(const QStringList& commandLine, const WindowSettings& remembered)
{
    MainWindow* main = m_main.get();
    const QString named = namedAtStart(commandLine);
    std::function<void()> open;
    if (!named.isEmpty() && opensAsFolderPictures(named)) {
        // A picture by itself ("Open With"): its folder, unsaved, at it; a
        // folder at its first picture.
        open = [this, main, named] { runCommand(*m_dialogs, [main, named] { main->openPicture(named); }); };
    } else if (!named.isEmpty()) {
        m_session->setCollectionFileName(named);
        open = [this] { runCommand(*m_dialogs, [this] { m_session->requestReopen(); }); };
    } else if (!remembered.collection.isEmpty() &&
               ::access(nativeFileName(remembered.collection).constData(), F_OK) == 0) {
        // None named: back where the last run ended.
        m_session->setCollectionFileName(remembered.collection);
        open = [this, main, entry = remembered.entry] {
            runCommand(*m_dialogs, [this] { m_session->requestReopen(); });
            runCommand(*m_dialogs, [main, entry] { main->goToEntry(entry); });
        };
    }
    if (open)
        m_startOpen = new AfterFirstFrame(main, std::move(open));
}

void Program::startEarlyDecode(const QStringList& commandLine, const WindowSettings& remembered)
{
    const QString first = firstPictureOpened(namedAtStart(commandLine), m_session->codePage());
    if (first.isEmpty())
        return;
    // Fitted, it is drawn within the window: within the screen, or the
    // window's last size (a first run's). Maximised, the window's main image
    // needs the same decode as a picture fitted to the screen, mostly.
    DrawRule guess;
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && m_session->fitsPictures()) {
        QSize box = screen->availableGeometry().size();
        if (!remembered.maximized)
            box = box.boundedTo(remembered.geometry ? remembered.geometry->size() : MainWindow::FirstClientSize);
        const qreal dpr = screen->devicePixelRatio();
        guess = [box, dpr](QSize picture) { return drawTarget(picture, box, false, true, true, dpr, QRect()); };
    }
    m_earlyDecode =
        std::make_shared<EarlyDecode>(first, guess, m_session->exifOrientation(), m_session->colorManaged());
}

bool Program::openingAtStart() const
{
    return m_startOpen || m_main->isReadingCollection();
}

void Program::finish()
{
    WindowSettings window = m_main->remembered();
    // A run that opened no collection of a file (none named, or the one
    // named couldn't be read) keeps the one to go back to.
    if (window.collection.isEmpty()) {
        window.collection = m_settings->window().collection;
        window.entry = m_settings->window().entry;
    }
    m_settings->setWindow(window);
    runCommand(*m_dialogs, [this] { m_settings->save(); });
}

void Program::applyVisualSettings()
{
    m_applied = m_settings->values();
    const SettingsValues& v = m_applied;
    const QFont font = commentFont(v);
    const QColor color = syscolor::toQColor(quint32(v.fontColor));
    m_main->setCommentFont(font, color);
    if (m_comments) {
        m_comments->setCommentFont(font, color);
        m_comments->setAlpha(alphaForSlider(v.alpha));
    }
    m_main->setMainColor(syscolor::toQColor(quint32(v.mainColor)));
    m_main->setStripColor(syscolor::toQColor(quint32(v.previewsColor)));
    m_session->applySettings();
}

void Program::applyLanguage()
{
    // Every window made so far; the comments window has no texts.
    WidgetTextSink sink({},
                        [this](ProgramText id, const QString& text) { m_session->setProgramText(id, text); });
    ::applyLanguage(m_language, sink, m_session->codePage());
}

template <class Window> Window* Program::withTexts(Window* window) const
{
    // The language of the start, as if the window had been there: a change
    // of language waits for the next start.
    OneWindowTextSink sink(window, m_main.get());
    ::applyLanguage(m_language, sink, m_session->codePage());
    return window;
}
