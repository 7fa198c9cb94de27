// A picture opened by itself, from the command line or dropped on the main
// window, and collections dropped there.
#include "tests/ui/AppFixture.h"

#include "collection/CollectionListModel.h"
#include "core/AtomicFile.h"
#include "tests/support/FileBytes.h"
#include "tests/support/KindPictures.h"
#include "ui/editor/CollectionEditor.h"

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTableView>

namespace {

class OpenPicture : public AppFixture {
protected:
    // A folder of three pictures (made out of order) and a text file.
    void SetUp() override
    {
        AppFixture::SetUp();
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("my pics")));
        for (const char* name : {"shot 10.jpg", "shot 2.jpg", "shot 1.bmp"})
            pic(QString::fromLatin1(name));
        QFile text(pic(QStringLiteral("notes.txt")));
        ASSERT_TRUE(text.open(QIODevice::WriteOnly));
        text.write("not a picture");
    }
    QString pic(const QString& name)
    {
        const QString path = dir.filePath(QStringLiteral("my pics/") + name);
        if (name.endsWith(QLatin1String(".bmp")))
            return testpics::writeBmp(path, 64, 48, 1);
        return name.endsWith(QLatin1String(".jpg")) ? testpics::writeJpeg(path, 64, 48, 2) : path;
    }
    static QStringList listedNames()
    {
        QStringList names;
        for (const CollectionEntry& e : session().listedEntries())
            names << QFileInfo(e.path).fileName();
        return names;
    }
    // On the main image area: the window takes what its parts don't.
    static std::optional<Qt::DropAction> drop(const QStringList& paths)
    {
        return dropFiles(mainWindow()->imageArea()->viewport(), paths);
    }
    const QStringList natural{"shot 1.bmp", "shot 2.jpg", "shot 10.jpg"};
};

// A picture or a folder named on the command line opens the folder, unsaved,
// at that picture or the first; a picture chosen by Open Collection, as if
// named there. Add / Delete's OK then saves the folder as a new collection.
TEST_F(OpenPicture, APictureOrFolderOpensItsFolderUnsavedAndOkSavesItAsNew)
{
    // The shell splits the blank in the folder's name.
    for (const auto& [commandLine, shown] :
         {std::pair{dir.filePath(QStringLiteral("my pics/shot 2.jpg")).split(QLatin1Char(' ')), 2},
          {QStringList{dir.filePath(QStringLiteral("my pics"))}, 1}}) {
        end();
        started(new Program(iniPath(), commandLine, {nullptr, &fake}));
        EXPECT_TRUE(session().collectionFileName().isEmpty());
        EXPECT_EQ(listedNames(), natural);
        EXPECT_TRUE(shows(shown));
    }
    EXPECT_EQ(mainWindow()->windowTitle(), dir.filePath(QStringLiteral("my pics")) + " - Pictavo 2006");
    openPath(collectionOf(2));
    fake.openAnswers << pic(QStringLiteral("shot 10.jpg"));
    key(Qt::Key_O, Qt::ControlModifier);
    settle();
    EXPECT_TRUE(session().collectionFileName().isEmpty());
    EXPECT_EQ(listedNames(), natural);
    EXPECT_TRUE(shows(3));
    ASSERT_TRUE(enabled("mnuAdd"));

    mainWindow()->editCollection();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(collectionEditor()));
    EXPECT_EQ(collectionEditor()->list()->entries(), session().listedEntries());
    fake.saveAnswers << dir.filePath(QStringLiteral("trip"));
    QTest::mouseClick(collectionEditor()->findChild<QToolButton*>(QStringLiteral("btnOK")), Qt::LeftButton);
    const QString saved = dir.filePath(QStringLiteral("trip.pvx"));
    EXPECT_EQ(session().collectionFileName(), saved);
    QByteArray bytes;
    for (const QString& name : natural)
        bytes += dir.filePath(QStringLiteral("my pics/") + name).toUtf8() + "^^\r\n";
    EXPECT_EQ(fileBytes(saved), bytes);
    EXPECT_EQ(session().entryCount(), 3);
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
}

TEST_F(OpenPicture, DropsOpenACollectionOrPicturesAsTheFirstOrAddThemToTheOpenEditor)
{
    EXPECT_FALSE(drop({pic(QStringLiteral("notes.txt"))}));
    EXPECT_EQ(session().entryCount(), 0);

    const QString collection = collectionOf(4);
    EXPECT_EQ(drop({collection}), Qt::CopyAction);
    EXPECT_EQ(session().collectionFileName(), collection);
    EXPECT_TRUE(shows(1));

    // The first picture dropped says where: its folder, at it. The picture
    // shows first, alone; the folder follows once listed, which a modal
    // dialog standing holds back.
    EXPECT_EQ(drop({pic(QStringLiteral("notes.txt")), pic(QStringLiteral("shot 10.jpg")),
                    pic(QStringLiteral("shot 1.bmp"))}),
              Qt::CopyAction);
    QDialog modal(mainWindow());
    modal.setModal(true);
    modal.show();
    EXPECT_EQ(listedNames(), QStringList{"shot 10.jpg"});
    EXPECT_EQ(panel(1), QStringLiteral("Image: 1 / \u2026"));
    const MainImage* image = mainWindow()->mainImage();
    ASSERT_TRUE(QTest::qWaitFor([image] { return image->showsDecodedPixels(); }));
    const Picture first = image->picture();
    EXPECT_TRUE(mainWindow()->isReadingCollection());
    modal.close();
    settle();
    EXPECT_TRUE(session().collectionFileName().isEmpty());
    EXPECT_EQ(listedNames(), natural);
    EXPECT_TRUE(shows(3));
    EXPECT_TRUE(image->picture().sharesDataWith(first)) << "decoded again";

    // While the editor is open, pictures join its list in drop order, as
    // copies, and nothing opens; other files are refused quietly, and a
    // picture without an extension is known by its content.
    mainWindow()->newCollection();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(collectionEditor()));
    EXPECT_EQ(drop({pic(QStringLiteral("shot 2.jpg")), pic(QStringLiteral("shot 1.bmp"))}), Qt::CopyAction);
    const auto dropOnList = [](const QStringList& paths) {
        return dropFiles(collectionEditor()->grid()->viewport(), paths);
    };
    EXPECT_FALSE(dropOnList({pic(QStringLiteral("notes.txt"))}));
    const QString unnamed = dir.filePath(QStringLiteral("download"));
    writeFileAtomically(unnamed, kinds::encoded(kinds::quadrants(16, 16), "webp"));
    EXPECT_EQ(dropOnList({pic(QStringLiteral("shot 2.jpg")), pic(QStringLiteral("notes.txt")), unnamed}),
              Qt::CopyAction);
    QStringList added;
    for (const CollectionEntry& e : collectionEditor()->list()->entries())
        added << QFileInfo(e.path).fileName();
    EXPECT_EQ(added, (QStringList{"shot 2.jpg", "shot 1.bmp", "shot 2.jpg", "download"}));
    EXPECT_TRUE(collectionEditor()->findChild<QToolButton*>(QStringLiteral("btnDel"))->isEnabled());
    EXPECT_EQ(listedNames(), natural);
    EXPECT_TRUE(shows(3));
    EXPECT_TRUE(fake.errors.isEmpty()) << fake.errors.join('\n').toStdString();
}

} // namespace
