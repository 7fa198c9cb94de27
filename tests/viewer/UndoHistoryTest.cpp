// Undo one level deep: the record's write, a failed write that keeps it,
// and a record of another kind behind the same interface.
#include "viewer/UndoHistory.h"

#include "core/Errors.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestPictures.h"
#include "tests/support/WriteFaults.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Undo : public ::testing::Test {
protected:
    void TearDown() override { setAtomicWriteFault(AtomicWriteFault::None); }
    QTemporaryDir dir;
    UndoHistory history;
};

// The picture goes back in the form the file's name promises, once; a
// failed write keeps the file and the record for another try.
TEST_F(Undo, WritesThePictureBackInTheFilesFormatOnceAfterAFailedTry)
{
    const QString path = testpics::writeJpeg(dir.filePath("a.jpg"), 40, 30, 1);
    const QByteArray old = fileBytes(path);
    const Picture before = Picture::fromBitmap(testpics::pattern(40, 30, 2));
    QSignalSpy available(&history, &UndoHistory::availableChanged);
    history.record(std::make_unique<PictureUndo>(3, path, before));
    setAtomicWriteFault(AtomicWriteFault::Commit, ENOSPC);
    EXPECT_THROW(history.undo(), AppError);
    EXPECT_TRUE(history.isAvailable());
    EXPECT_EQ(fileBytes(path), old);
    setAtomicWriteFault(AtomicWriteFault::None);
    const QList<RestoredPicture> restored = history.undo();
    ASSERT_EQ(restored.size(), 1);
    EXPECT_EQ(restored[0].entry, 3);
    EXPECT_EQ(restored[0].path, path);
    EXPECT_TRUE(fileBytes(path).startsWith("\xFF\xD8")) << "a JPEG, not bitmap bytes";
    EXPECT_EQ(Picture::loadFromFile(path).size(), QSize(40, 30));
    EXPECT_FALSE(history.isAvailable());
    EXPECT_TRUE(history.undo().isEmpty()) << "one level: nothing more to undo";
    EXPECT_EQ(available.count(), 2);
}

} // namespace
