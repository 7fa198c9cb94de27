#include "EffectsTestSupport.h"
#include "effects/EffectRenderer.h"
#include "effects/Random.h"
#include "core/AtomicFile.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "tools/Commands.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

using namespace fxtest;

namespace {
struct RenderCommand : ::testing::Test {
    QTemporaryDir dir;
    QString in;
    Bitmap24 source = randomBitmap(64, 48, 99);

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        in = dir.filePath("in.bmp");
        writeFileAtomically(in, encodeBmp24(source));
    }
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    QByteArray inBytes() const { return readWholeFile(in); }
};
} // namespace

TEST_F(RenderCommand, WritesTheEngineRenderingAsBitmap)
{
    const std::string out = path("out.bmp");
    ASSERT_EQ(cmdRender({"--contrast=80", "--mosaic=5", "--color-noise=60", in.toStdString(), out}), 0);
    ResetRandom();
    EffectRenderer e;
    e.setPictureOriginal(source);
    e.setPicContrast(80);
    e.setPicMosaic(5);
    e.setPicColorNoise(60);
    const Bitmap24 written = decodeBmp(readWholeFile(QString::fromStdString(out)));
    EXPECT_TRUE(written == e.Picture());
    EXPECT_FALSE(written == source);
}

TEST_F(RenderCommand, JpegOutputAndOrderOfSetters)
{
    const std::string out = path("out.JPG");
    testing::internal::CaptureStdout();
    const int rc = cmdRender(
        {"--posterize=9", "--solarize=40", "--mosaic=500", "--show-properties", in.toStdString(), out});
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(rc, 0);
    const Picture pic = Picture::loadFromFile(QString::fromStdString(out));
    EXPECT_EQ(pic.kind(), Picture::Kind::Jpeg);
    EXPECT_EQ(pic.size(), QSize(64, 48));
    EXPECT_NE(printed.find("PicSolorize=40\n"), std::string::npos);
    EXPECT_NE(printed.find("PicPosterize=0\n"), std::string::npos);
    EXPECT_NE(printed.find("PicMosaic=64\n"), std::string::npos);
    EXPECT_NE(printed.find("PicGrayScale=0\n"), std::string::npos);
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 19);
}

TEST_F(RenderCommand, FailuresLeaveInputAndWriteNothing)
{
    const QByteArray before = inBytes();
    const std::vector<Args> bad = {
        {"--brightness=x", in.toStdString(), path("a.bmp")},
        {"--nope=1", in.toStdString(), path("a.bmp")},
        {in.toStdString(), path("a.png")},
        {in.toStdString()},
        {path("missing.bmp"), path("a.bmp")},
    };
    for (const Args& args : bad)
        EXPECT_NE(cmdRender(args), 0);
    const QString garbage = dir.filePath("garbage.jpg");
    writeFileAtomically(garbage, QByteArray("not a picture at all"));
    EXPECT_NE(cmdRender({garbage.toStdString(), path("a.bmp")}), 0);
    EXPECT_EQ(inBytes(), before);
    EXPECT_FALSE(QFile::exists(dir.filePath("a.bmp")));
    EXPECT_FALSE(QFile::exists(dir.filePath("a.png")));
}

TEST_F(RenderCommand, SameNoiseInEveryRun)
{
    ASSERT_EQ(cmdRender({"--mono-noise=200", in.toStdString(), path("n1.bmp")}), 0);
    NextRandom(7); // whatever came before, each run starts afresh
    ASSERT_EQ(cmdRender({"--mono-noise=200", in.toStdString(), path("n2.bmp")}), 0);
    EXPECT_EQ(readWholeFile(dir.filePath("n1.bmp")), readWholeFile(dir.filePath("n2.bmp")));
}
