#pragma once
// Creates the program's windows fresh for every test, with the dialogs
// answered by a fake.
#include "app/Application.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "ui/main/MainWindow.h"
#include "tests/support/FakeDialogs.h"
#include "viewer/ViewerSession.h"
#include "tests/support/TestPictures.h"

#include <QAction>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

// What createWindows made: the session and the windows sharing it.
inline ViewerSession& session() { return *programWindows().session; }
inline MainWindow* mainWindow() { return programWindows().main; }
inline EffectsDialog* effectsDialog() { return programWindows().effects; }
inline CollectionEditor* collectionEditor() { return programWindows().editor; }
inline AboutBox* aboutBox() { return programWindows().about; }
inline SettingsDialog* settingsDialog() { return programWindows().settings; }
inline CommentsWindow* commentsWindow() { return programWindows().comments; }

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
    void TearDown() override { destroyWindows(); }

    // Opens a collection the way the command line does.
    void openPath(const QString& path)
    {
        session().setCollectionFileName(path);
        session().reopenWithoutDialog = true;
        runCommand([] { mainWindow()->openCollectionFile(); });
    }
    QString collectionOf(int n, const QString& name = QStringLiteral("c.pvx"))
    {
        return testpics::makeCollection(dir.path(), name, n);
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(mainWindow(), Qt::Key(k), m); }
    QString panel(int i) const { return mainWindow()->statusPanel(i)->text(); }
    bool enabled(const char* name) const
    {
        if (QAction* a = mainWindow()->action(name))
            return a->isEnabled();
        return mainWindow()->toolButton(name)->isEnabled();
    }
    int shapeTop() const { return mainWindow()->ShapeCur()->y(); }

    QTemporaryDir dir;
    FakeDialogs fake;
};
