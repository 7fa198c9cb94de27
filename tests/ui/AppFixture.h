#pragma once
// Creates the program's windows fresh for every test, with the dialogs
// answered by a fake.
#include "app/Application.h"
#include "ui/main/MainImage.h"
#include "ui/main/ThumbSlot.h"
#include "ui/main/MainWindow.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestPictures.h"

#include <QAction>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Each test reads and writes its own settings file.
        setSettingsFile(dir.filePath(QStringLiteral("pictavo.ini")));
        createWindows({});
        frmMain->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frmMain));
    }
    void TearDown() override { destroyWindows(); }

    // Opens a collection the way the command line does.
    void openPath(const QString& path)
    {
        Viewer.CollectionFileName = path;
        Viewer.ReopenWithoutDialog = true;
        runCommand([] { frmMain->openCollectionFile(); });
    }
    QString collectionOf(int n, const QString& name = QStringLiteral("c.pvx"))
    {
        return testpics::makeCollection(dir.path(), name, n);
    }
    void key(int k, Qt::KeyboardModifiers m = Qt::NoModifier) { QTest::keyClick(frmMain, Qt::Key(k), m); }
    QString panel(int i) const { return frmMain->statusPanel(i)->text(); }
    bool enabled(const char* name) const
    {
        if (QAction* a = frmMain->action(name))
            return a->isEnabled();
        return frmMain->toolButton(name)->isEnabled();
    }
    int shapeTop() const { return frmMain->ShapeCur()->y(); }

    QTemporaryDir dir;
    FakeDialogs fake;
};
