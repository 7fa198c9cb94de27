#pragma once
// Starts the program fresh for every test, with the dialogs answered by a
// fake.
#include "app/Program.h"
#include "platform/SoundPlayer.h"
#include "settings/SettingsStore.h"
#include "tests/support/BitmapCompare.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestPictures.h"
#include "tests/support/WriteFaults.h"
#include "ui/common/RunCommand.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ThumbSlot.h"
#include "viewer/ThumbnailQueue.h"
#include "viewer/ViewerSession.h"

#include <QAction>
#include <QMimeData>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <optional>

// The program the running test started: the session and the windows
// sharing it.
inline Program* g_program = nullptr;
inline const auto session = []() -> ViewerSession& { return g_program->session(); };
inline const auto settingsStore = []() -> SettingsStore& { return g_program->settings(); };
inline const auto mainWindow = [] { return &g_program->mainWindow(); };
inline const auto effectsDialog = [] { return &g_program->effectsDialog(); };
inline const auto collectionEditor = [] { return &g_program->collectionEditor(); };
inline const auto settingsDialog = [] { return &g_program->settingsDialog(); };
inline const auto commentsWindow = [] { return &g_program->commentsWindow(); };

// Drops local files on `target` as a file manager would, offering a copy
// or a move. Answers the action taken, none when refused.
inline std::optional<Qt::DropAction> dropFiles(QWidget* target, const QStringList& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(QPoint(10, 10), offered, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return std::nullopt;
    QDropEvent dropped(QPointF(10, 10), offered, &mime, Qt::LeftButton, Qt::NoModifier);
    dropped.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(target, &dropped);
    return dropped.isAccepted() ? std::optional(dropped.dropAction()) : std::nullopt;
}

// Turns the mouse wheel by `notches` (down is negative) over `pos` of `target`.
inline void turnWheelOver(QWidget* target, QPoint pos, int notches,
                          Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent e(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &e);
}

// Runs a command as the windows do: a failure is told in the error box.
inline bool command(const std::function<void()>& work)
{
    return runCommand(g_program->dialogs(), work);
}

// A key typed on the main window.
inline void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QTest::keyClick(mainWindow(), Qt::Key(k), m);
}

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow()));
    }
    void TearDown() override
    {
        setAtomicWriteFault(AtomicWriteFault::None); // a failed assertion may leave it set
        end();
    }

    // Each test reads and writes its own settings file.
    QString iniPath() const { return dir.filePath(QStringLiteral("pictavo.ini")); }
    void start(const QString& settings = {})
    {
        started(new Program(settings.isEmpty() ? iniPath() : settings, {}, {&sound, &fake}));
    }
    // Shows the program's main window and waits for what it opens at start.
    static void started(Program* program)
    {
        g_program = program;
        mainWindow()->show();
        EXPECT_TRUE(QTest::qWaitFor([] { return !g_program->openingAtStart(); }));
    }
    // The program's end, as main() does it after the event loop.
    void end()
    {
        if (!g_program)
            return;
        g_program->finish();
        delete std::exchange(g_program, nullptr);
    }
    // Ends the program (writing the settings) and starts it again, with the
    // settings file replaced in between when bytes are given.
    void restart(const QByteArray& ini = {})
    {
        end();
        if (!ini.isEmpty())
            writeFileAtomically(iniPath(), ini);
        start();
    }

    // Opens a collection the way the command line does.
    // Then waits for the strip, which fills off the GUI thread.
    void openPath(const QString& path)
    {
        openPathNoWait(path);
        settle();
    }
    void openPathNoWait(const QString& path)
    {
        session().setCollectionFileName(path);
        command([] { session().requestReopen(); });
    }
    // The main image has its picture (or says why not), the strip is
    // filled, and what the strip's failures tell has been told.
    static void settle()
    {
        // A collection file is read off the GUI thread first.
        EXPECT_TRUE(QTest::qWaitFor([] { return !mainWindow()->isReadingCollection(); }, 5000));
        EXPECT_TRUE(QTest::qWaitFor(
            [] {
                const MainImage* m = mainWindow()->mainImage();
                return session().entryCount() == 0 || !m->picture().isEmpty() || !m->reason().isEmpty();
            },
            5000))
            << "the main image shows neither a picture nor why not";
        stripFilled();
        QCoreApplication::processEvents();
    }
    // Opens a collection of these files, each commented with its name.
    void openFiles(const QStringList& files, bool wait = true)
    {
        QList<CollectionEntry> entries;
        for (const QString& f : files)
            entries.append({f, QFileInfo(f).fileName()});
        writeCollection(dir.filePath(QStringLiteral("files.pvx")), entries);
        openPathNoWait(dir.filePath(QStringLiteral("files.pvx")));
        if (wait)
            settle();
    }
    static Bitmap24 fileBitmap(const QString& path) { return Picture::loadFromFile(path).toBitmap24(); }
    QString collectionOf(int n, const QString& name = QStringLiteral("c.pvx"))
    {
        return testpics::makeCollection(dir.path(), name, n);
    }
    QString panel(int i) const { return mainWindow()->statusPanel(i)->text(); }
    // A menu item or a tool button of the main window, by its object name.
    static QAction* action(const char* name)
    {
        return mainWindow()->findChild<QAction*>(QString::fromLatin1(name));
    }
    bool enabled(const char* name) const
    {
        if (QAction* a = action(name))
            return a->isEnabled();
        return mainWindow()->findChild<QToolButton*>(QString::fromLatin1(name))->isEnabled();
    }

    // Entry n is on view: the strip's slots hold the entries from the first
    // index on, the highlight and the two strip buttons stand on entry
    // `current` (n unless the strip moved without showing), and the main
    // image, comment line and position panels show entry n. The main image
    // is waited for, since it may be decoded away from the strip.
    ::testing::AssertionResult shows(int n, int current = 0) const
    {
        const ViewerSession& s = session();
        MainWindow* w = mainWindow();
        current = current ? current : n;
        if (n < 1 || n > s.entryCount())
            return ::testing::AssertionFailure() << "no entry " << n << " of " << s.entryCount();
        QStringList wrong;
        const auto want = [&](bool ok, const QString& what) { wrong << (ok ? QString() : what); };
        const int first = s.strip().firstIndex();
        want(s.currentEntry() == current, QStringLiteral("current entry %1").arg(s.currentEntry()));
        want(w->highlightFrame()->isVisible() && w->highlightFrame()->y() == 6 + 153 * (current - first - 1),
             QStringLiteral("highlight at top %1").arg(w->highlightFrame()->y()));
        for (int i = 1; i <= w->slotCount(); ++i) {
            const int e = first + i;
            const bool held = e <= s.entryCount();
            // A held picture that failed to load leaves its slot empty.
            want(held ? w->slot(i)->isEnabled() && w->slot(i)->hint() == s.entry(e).comment
                      : !w->slot(i)->isEnabled() && w->slot(i)->rendition().isNull(),
                 QStringLiteral("slot %1 \"%2\"").arg(i).arg(w->slot(i)->hint()));
        }
        want(w->upButton()->isEnabled() == (current > 1), QStringLiteral("up button"));
        want(w->downButton()->isEnabled() == (current < s.entryCount()), QStringLiteral("down button"));
        const CollectionEntry& e = s.entry(n);
        want(w->commentLine()->text() == e.comment,
             QStringLiteral("comment \"%1\"").arg(w->commentLine()->text()));
        want(panel(1) == QStringLiteral("Image: %1 / %2").arg(n).arg(s.entryCount()), panel(1));
        want(panel(2) == e.path, panel(2));
        const Bitmap24 pixels = Picture::loadFromFile(e.path, s.exifOrientation()).toBitmap24();
        want(QTest::qWaitFor([&] { return w->mainImage()->picture().toBitmap24() == pixels; }, 5000),
             QStringLiteral("main image"));
        want(stripFilled(), QStringLiteral("strip still filling"));
        wrong.removeAll(QString());
        if (wrong.isEmpty())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "entry " << n << ": " << wrong.join(", ").toStdString();
    }

    // The strip fills off the GUI thread: every slot with an entry has its
    // rendition or says why it has none, and nothing more is on the way.
    static bool stripFilled()
    {
        return QTest::qWaitFor(
            [] {
                MainWindow* w = mainWindow();
                for (int i = 1; i <= w->slotCount(); ++i)
                    if (w->slot(i)->isEnabled() && w->slot(i)->rendition().isNull() &&
                        w->slot(i)->failure().isEmpty())
                        return false;
                return !w->thumbnails()->isBusy();
            },
            5000);
    }
    // Slot i draws its entry's file as the file is now (within what another
    // way of making the rendition may change).
    static ::testing::AssertionResult slotShowsItsFile(int i)
    {
        const QString f = session().entry(session().strip().firstIndex() + i).path;
        const QImage want = Picture::loadFromFile(f, session().exifOrientation())
                                .thumbnail(QSize(ThumbSlot::Size, ThumbSlot::Size), true);
        const auto close = [&] {
            const QImage& got = mainWindow()->slot(i)->rendition();
            return got.size() == want.size() && largestDifference(got, want) <= 12;
        };
        if (QTest::qWaitFor(close, 5000))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "slot " << i << " does not draw " << f.toStdString();
    }

    QTemporaryDir dir;
    FakeDialogs fake;
    // The slide show's sound, recorded rather than played.
    struct RecordedSound : SoundPlayer {
        void play(const QString& path) override { played << path; }
        void stop() override {}
        QStringList played;
    } sound;
};
