// The all-pictures run without a window: what it asks its host, what it
// writes, and what it tells when it ends, however it ends.
#include "effects/AllPicturesRun.h"
#include "../support/KindPictures.h"
#include "../support/TestPictures.h"
#include "core/Errors.h"
#include "graphics/Picture.h"
#include "tests/support/WriteFaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Host : AllPicturesRun::Host {
    bool skip = true;
    std::optional<bool> undo = true;
    int stopAt = 0, failAfter = 0;
    QStringList heard;

    void passedBy(const QString& f) override { heard << "passed " + f; }
    bool skipUnusable(const QList<UnusableEntry>& u) override
    {
        heard << QStringLiteral("unusable %1").arg(u.size());
        return skip;
    }
    std::optional<bool> keepUndoCopies(const QStringList& files) override
    {
        heard << QStringLiteral("undo %1").arg(files.size());
        return undo;
    }
    void starting(const QStringList& files, bool kept) override
    {
        heard << QStringLiteral("start %1 %2").arg(files.size()).arg(kept);
    }
    bool proceed(int k, int, const QString&) override { return k != stopAt; }
    void written(int k, int, const QString&) override
    {
        if (k == failAfter)
            setAtomicWriteFault(AtomicWriteFault::Commit, 28);
    }
    void finished(const QStringList& written, int skipped) override
    {
        heard << QStringLiteral("finished %1 %2").arg(written.size()).arg(skipped);
    }
};

// Four bitmaps and a WebP, the bitmaps at 1, 2, 4 and 5.
struct RunCase {
    const char* name;
    bool unreadable = false, skip = true;
    std::optional<bool> undo = true;
    int stopAt = 0, failAfter = 0;
    const char* heard; // after "passed", the WebP
    int written;
};

class AllPicturesRunTest : public ::testing::TestWithParam<RunCase> {};

} // namespace

TEST_P(AllPicturesRunTest, AsksWritesAndTellsInOrder)
{
    const RunCase& c = GetParam();
    QTemporaryDir dir;
    QStringList files;
    QList<Bitmap24> start;
    for (int i = 1; i <= 5; ++i) {
        files << dir.filePath(i == 3 ? "w.webp" : QStringLiteral("%1.bmp").arg(i));
        if (i == 3)
            writeFileAtomically(files.last(), kinds::encoded(kinds::quadrants(8, 8), "webp", 100));
        else
            testpics::writeBmp(files.last(), 8, 6, i);
        start << Picture::loadFromFile(files.last()).toBitmap24();
    }
    if (c.unreadable)
        QFile::remove(files[1]);
    Host host;
    host.skip = c.skip;
    host.undo = c.undo;
    host.stopAt = c.stopAt;
    host.failAfter = c.failAfter;
    AllPicturesRun run({{Effect::Brightness, 5}}, ExifOrientation::Apply);
    AllPicturesRun::Outcome outcome;
    if (c.failAfter)
        EXPECT_THROW(run.run(files, host), AppError);
    else
        outcome = run.run(files, host);
    setAtomicWriteFault(AtomicWriteFault::None);

    EXPECT_EQ(host.heard.join(", "), "passed " + files[2] + ", " + c.heard);
    int k = 0; // the bitmaps' places in the run
    for (int i : {0, 1, 3, 4}) {
        if (c.unreadable && i == 1)
            continue;
        const bool changed = ++k <= c.written;
        EXPECT_EQ(Picture::loadFromFile(files[i]).toBitmap24(), testpics::brighter(start[i], changed ? 5 : 0))
            << i;
    }
    if (!c.failAfter) {
        EXPECT_EQ(outcome.written, c.written);
        EXPECT_EQ(outcome.passedBy, 1);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(, AllPicturesRunTest, ::testing::Values(
    RunCase{"EveryPicture", false, true, true, 0, 0, "undo 4, start 4 1, finished 4 1", 4},
    RunCase{"WithoutUndo", false, true, false, 0, 0, "undo 4, start 4 0, finished 4 1", 4},
    RunCase{"UndoDeclined", false, true, std::nullopt, 0, 0, "undo 4", 0},
    RunCase{"UnusableDeclined", true, false, true, 0, 0, "unusable 1", 0},
    RunCase{"UnusableSkipped", true, true, true, 0, 0, "unusable 1, undo 3, start 3 1, finished 3 2", 3},
    RunCase{"StoppedBeforeTheThird", false, true, true, 3, 0, "undo 4, start 4 1, finished 2 1", 2},
    RunCase{"FailingAtTheThird", false, true, true, 0, 2, "undo 4, start 4 1, finished 2 1", 2}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// A run's noise is its own: a second run draws what the first drew, as a
// freshly started program does.
TEST(AllPicturesRunNoise, EveryRunDrawsTheSameNoise)
{
    QTemporaryDir dir;
    const QStringList files = {testpics::writeBmp(dir.filePath("a.bmp"), 40, 30, 1),
                               testpics::writeBmp(dir.filePath("b.bmp"), 40, 30, 1)};
    const QByteArray before = readWholeFile(files[0]);
    Host host;
    for (const QString& f : files)
        AllPicturesRun({{Effect::ColorNoise, 90}}, ExifOrientation::Apply).run({f}, host);
    EXPECT_NE(readWholeFile(files[0]), before);
    EXPECT_EQ(readWholeFile(files[0]), readWholeFile(files[1]));
}
