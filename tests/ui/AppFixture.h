#pragma once
// Creates the program's windows fresh for every test, with the dialogs
// answered by a fake.
#include "app/Application.h"
#include "core/AtomicFile.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestPictures.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"
#include "ui/main/ThumbSlot.h"
#include "viewer/ViewerSession.h"

#include <QAction>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

// What createWindows made: the session and the windows sharing it.
inline ViewerSession& session()
{
    return *programWindows().session;
}
inline MainWindow* mainWindow()
{
    return programWindows().main;
}
inline EffectsDialog* effectsDialog()
{
    return programWindows().effects;
}
inline CollectionEditor* collectionEditor()
{
    return programWindows().editor;
}
inline SettingsDialog* settingsDialog()
{
    return programWindows().settings;
}
inline CommentsWindow* commentsWindow()
{
    return programWindows().comments;
}

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Each test reads and writes its own settings file.
        setSettingsFile(dir.filePath(QStringLiteral("pictavo.ini")));
        createWindows({});
        mainWindow()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow()));
    }
    void TearDown() override
    {
        setAtomicWriteFault(AtomicWriteFault::None); // a failed assertion may leave it set
        destroyWindows();
    }

    // Ends the program's windows (writing the settings) and starts them
    // again, with the settings file replaced in between when bytes are given.
    void restart(const QByteArray& ini = {})
    {
        destroyWindows();
        if (!ini.isEmpty())
            writeFileAtomically(dir.filePath(QStringLiteral("pictavo.ini")), ini);
        createWindows({});
        mainWindow()->show();
    }

    // Opens a collection the way the command line does.
    void openPath(const QString& path)
    {
        session().setCollectionFileName(path);
        session().reopenWithoutDialog = true;
        runCommand([] { mainWindow()->openCollectionFile(); });
    }
    // Opens a collection of these files, each commented with its name.
    void openFiles(const QStringList& files)
    {
        QList<CollectionEntry> entries;
        for (const QString& f : files)
            entries.append({f, QFileInfo(f).fileName()});
        writeCollection(dir.filePath(QStringLiteral("files.pvx")), entries);
        openPath(dir.filePath(QStringLiteral("files.pvx")));
    }
    static Bitmap24 fileBitmap(const QString& path) { return Picture::loadFromFile(path).toBitmap24(); }
    QString collectionOf(int n, const QString& name = QStringLiteral("c.pvx"))
    {
        return testpics::makeCollection(dir.path(), name, n);
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QTest::keyClick(mainWindow(), Qt::Key(k), m);
    }
    QString panel(int i) const { return mainWindow()->statusPanel(i)->text(); }
    bool enabled(const char* name) const
    {
        if (QAction* a = mainWindow()->action(name))
            return a->isEnabled();
        return mainWindow()->toolButton(name)->isEnabled();
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
        want(s.currentEntry() == current, QStringLiteral("current entry %1").arg(s.currentEntry()));
        want(w->highlightFrame()->isVisible() &&
                 w->highlightFrame()->y() == 6 + 153 * (current - s.firstIndex() - 1),
             QStringLiteral("highlight at top %1").arg(w->highlightFrame()->y()));
        for (int i = 1; i <= w->slotCount(); ++i) {
            const int e = s.firstIndex() + i;
            const bool held = e <= s.entryCount();
            // A held picture that failed to load leaves its slot empty.
            want(held ? w->slot(i)->isEnabled() && w->slot(i)->hint() == s.entry(e).Comment
                      : !w->slot(i)->isEnabled() && w->slot(i)->picture().isEmpty(),
                 QStringLiteral("slot %1 \"%2\"").arg(i).arg(w->slot(i)->hint()));
        }
        want(w->upButton()->isEnabled() == (current > 1), QStringLiteral("up button"));
        want(w->downButton()->isEnabled() == (current < s.entryCount()), QStringLiteral("down button"));
        const CollectionEntry& e = s.entry(n);
        want(w->commentLine()->text() == e.Comment,
             QStringLiteral("comment \"%1\"").arg(w->commentLine()->text()));
        want(panel(1) == QStringLiteral("Image: %1 / %2").arg(n).arg(s.entryCount()), panel(1));
        want(panel(2) == e.FileName, panel(2));
        const Bitmap24 pixels = Picture::loadFromFile(e.FileName, w->exifOrientation()).toBitmap24();
        want(QTest::qWaitFor([&] { return w->mainImage()->picture().toBitmap24() == pixels; }, 5000),
             QStringLiteral("main image"));
        wrong.removeAll(QString());
        if (wrong.isEmpty())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "entry " << n << ": " << wrong.join(", ").toStdString();
    }

    QTemporaryDir dir;
    FakeDialogs fake;
};
