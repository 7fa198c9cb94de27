// One owner per picture file, without a window: one rendition for every
// slot of a file, a write that every view follows, a file another program
// replaced read again even within one clock tick, and what can't be read
// told once per open, together with the strip's other failures.
#include "viewer/PictureFiles.h"

#include "effects/PictureWrite.h"
#include "settings/SettingsStore.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestPictures.h"
#include "viewer/ViewerSession.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class PictureFilesTest : public ::testing::Test {
protected:
    QString bmp(const char* name, int seed, int w = 120, int h = 80)
    {
        return testpics::writeBmp(dir.filePath(QString::fromLatin1(name)), w, h, seed);
    }
    // Until every rendition asked for has arrived and been taken.
    void settle()
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !files.thumbnails().isBusy(); }, 10000));
        QCoreApplication::processEvents();
    }
    QTemporaryDir dir;
    SettingsStore store{dir.filePath("pictavo.ini")};
    ViewerSession session{store};
    PictureFiles files{session, QSize(145, 145)};
    QSignalSpy drawn{&files, &PictureFiles::thumbnailChanged};
    QSignalSpy told{&files, &PictureFiles::failuresToTell};
};

TEST_F(PictureFilesTest, AFileInTwoSlotsHasOneRenditionThatItsWriteReplaces)
{
    const QString a = bmp("a.bmp", 1);
    files.showInStrip({a, a});
    settle();
    ASSERT_EQ(drawn.count(), 1) << "made once for both slots";
    EXPECT_EQ(files.file(a).thumbnail().size(), QSize(145, 96));

    const Picture turned = rotatePictureFile(files.commandPicture(a, Picture()), a, 90);
    files.written(a, turned);
    EXPECT_EQ(drawn.count(), 2);
    EXPECT_EQ(files.file(a).thumbnail().size(), QSize(96, 145));
    EXPECT_FALSE(files.file(a).needsThumbnail()) << "what was written is what the file holds";
    EXPECT_TRUE(files.commandPicture(a, Picture()).sharesDataWith(turned));
    files.showInStrip({a, a});
    settle();
    EXPECT_EQ(drawn.count(), 2) << "nothing read again";
}

// Another program writes a picture of the same size and puts the old time
// back, then renames it over the file: only the inode tells.
TEST_F(PictureFilesTest, AFileAnotherProgramReplacedIsReadAgainEvenWithinOneTick)
{
    const QString a = bmp("a.bmp", 1);
    files.showInStrip({a});
    settle();
    const Picture shown = files.commandPicture(a, Picture());
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(a).constData(), &before), 0);
    const QString other = bmp("other.bmp", 2);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(other).constData(), times, 0), 0);
    ASSERT_EQ(::rename(QFile::encodeName(other).constData(), QFile::encodeName(a).constData()), 0);

    EXPECT_TRUE(files.file(a).needsThumbnail());
    EXPECT_EQ(files.commandPicture(a, shown).toBitmap24(), testpics::pattern(120, 80, 2))
        << "the picture on view was read before the change";
    files.showInStrip({a});
    settle();
    EXPECT_EQ(drawn.count(), 2);
    EXPECT_FALSE(files.file(a).needsThumbnail());
}

// A slot's failure is told with the others of the strip, once per open
// and file, however often the strip asks again; the slot keeps the reason.
TEST_F(PictureFilesTest, WhatCannotBeReadIsToldOncePerOpenWithTheStripsOtherFailures)
{
    const QString good = bmp("good.bmp", 1), gone = dir.filePath("gone.jpg"), junk = dir.filePath("junk.jpg");
    ASSERT_TRUE(putBytes(junk, "\xFF\xD8 not a picture at all"));
    const QString why = errorText([&] { Picture::loadFromFile(gone); }) + '\n' +
                        errorText([&] { Picture::loadFromFile(junk); });
    for (const int open : {1, 2}) {
        session.beginOpen(QString());
        files.beginOpen();
        files.showInStrip({gone, good, junk});
        EXPECT_FALSE(files.thumbnails().isBusy()) << "an open's strip waits for the main image";
        files.showInMain(good, {}, [](QSize s) { return DrawTarget{s, QRect(QPoint(), s)}; });
        files.decoder().waitForIdle();
        QCoreApplication::processEvents();
        settle();
        files.showInStrip({gone, good, junk}); // asked again: tried again, not told again
        settle();
        EXPECT_TRUE(QTest::qWaitFor([&] { return told.count() == open; }, 5000)) << open;
        EXPECT_EQ(told.value(open - 1).value(0).toString(), why);
        EXPECT_EQ(files.file(gone).failure(), errorText([&] { Picture::loadFromFile(gone); }));
        EXPECT_TRUE(files.file(good).failure().isEmpty());
    }
}

} // namespace
