// pictavo-fx rotate and pictavo-fx apply, run as the user runs them.
#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestPictures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct FxResult {
    int exitCode = -1;
    QByteArray out, err;
};

FxResult fx(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(PV_BINARY_DIR "/pictavo-fx"), args);
    FxResult r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

Bitmap24 gradient(int w, int h, int seed)
{
    Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b.scanLine(y) + 3 * x;
            p[0] = std::uint8_t(x * 3 + seed);
            p[1] = std::uint8_t(y * 5 + seed * 7);
            p[2] = std::uint8_t(x + y + seed * 13);
        }
    return b;
}

class RotateApplyCommandTest : public ::testing::Test {
protected:
    QString bmp(const char* name, int w, int h, int seed)
    {
        const QString path = dir.filePath(QString::fromLatin1(name));
        writeFileAtomically(path, encodeBmp24(gradient(w, h, seed)));
        return path;
    }
    Bitmap24 load(const QString& path) { return Picture::loadFromFile(path).toBitmap24(); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(RotateApplyCommandTest, RotateTurnsTheFileInPlace)
{
    const QString path = bmp("w.bmp", 30, 10, 1);
    const Bitmap24 start = load(path);
    FxResult r = fx({"rotate", "right", path});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const Bitmap24 right = load(path);
    ASSERT_EQ(right.width(), 10);
    ASSERT_EQ(right.height(), 30);
    EXPECT_EQ(std::memcmp(right.scanLine(0), start.scanLine(9), 3), 0); // bottom-left to top-left
    r = fx({"rotate", "left", path});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(load(path), start);

    const QString jpg = dir.filePath("p.JPEG");
    writeFileAtomically(jpg, encodeJpeg(gradient(40, 20, 2)));
    r = fx({"rotate", "left", jpg});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(fileBytes(jpg).startsWith("\xFF\xD8"));
    EXPECT_EQ(Picture::loadFromFile(jpg).size(), QSize(20, 40));
}

TEST_F(RotateApplyCommandTest, RotateFailuresNameTheFileAndTouchNothing)
{
    const QString missing = dir.filePath("none.bmp");
    FxResult r = fx({"rotate", "left", missing});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(missing.toUtf8())) << r.err.constData();
    EXPECT_FALSE(QFile::exists(missing));

    const QString gif = dir.filePath("x.gif");
    QFile f(gif);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("GIF89a");
    f.close();
    r = fx({"rotate", "right", gif});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err, ("pictavo-fx rotate: " + gif + ": Unknown picture file extension (.gif)\n").toUtf8());
    EXPECT_EQ(fileBytes(gif), QByteArray("GIF89a"));

    for (const QStringList& bad :
         {QStringList{"rotate"}, QStringList{"rotate", "up", gif}, QStringList{"rotate", "left", gif, gif}}) {
        r = fx(bad);
        EXPECT_NE(r.exitCode, 0);
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    }
}

TEST_F(RotateApplyCommandTest, ApplyWritesEveryEntryInOrderWithProgress)
{
    const QString a = bmp("a.bmp", 16, 12, 1);
    const QString b = dir.filePath("b.jpg");
    writeFileAtomically(b, encodeJpeg(gradient(16, 12, 2)));
    const Bitmap24 aStart = load(a);
    const QByteArray bBefore = fileBytes(b);
    const QString pvx = dir.filePath("c.pvx");
    writeCollection(pvx, {{a, "one"}, {b, "two"}, {a, "one again"}});

    const FxResult r = fx({"apply", "--brightness=7", pvx});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, QByteArray());
    EXPECT_EQ(r.err, QStringLiteral("1 / 3 %1\n2 / 3 %2\n3 / 3 %1\n").arg(a, b).toUtf8());
    EXPECT_EQ(load(a), testpics::brighter(aStart, 14)); // listed twice: the effect twice
    EXPECT_NE(fileBytes(b), bBefore);
    EXPECT_TRUE(fileBytes(b).startsWith("\xFF\xD8"));
}

TEST_F(RotateApplyCommandTest, ApplyStopsAtTheFirstFailureLeavingTheRestUntouched)
{
    const QString a = bmp("a.bmp", 8, 8, 1);
    const QString c = bmp("c.bmp", 8, 8, 3);
    const QString missing = dir.filePath("gone/b.bmp");
    const Bitmap24 aStart = load(a);
    const QByteArray cBefore = fileBytes(c);
    const QString pvx = dir.filePath("c.pvx");
    writeCollection(pvx, {{a, ""}, {missing, ""}, {c, ""}});

    FxResult r = fx({"apply", "--invert", pvx});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(("pictavo-fx apply: Cannot open file \"" + missing + "\"").toUtf8()))
        << r.err.constData();
    const Bitmap24 aAfter = load(a); // a was written...
    EXPECT_EQ(aAfter.scanLine(3)[6], 255 - aStart.scanLine(3)[6]);
    EXPECT_EQ(aAfter.scanLine(7)[23], 255 - aStart.scanLine(7)[23]);
    EXPECT_EQ(fileBytes(c), cBefore); // ...c never reached

    r = fx({"apply", "--no-such=1", pvx});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.err.count('\n'), 1);
    r = fx({"apply", dir.filePath("none.pvx")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("none.pvx"));
}
