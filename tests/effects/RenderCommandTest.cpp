// pictavo-fx render in process: what it writes is what the engine shows.
// Its failures are in the command-line table under tests/tools.
#include "EffectsTestSupport.h"
#include "core/AtomicFile.h"
#include "effects/EffectRenderer.h"
#include "graphics/BmpCodec.h"
#include "tools/Commands.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace fxtest;

TEST(RenderCommand, WritesTheEngineRenderingWithTheSameNoiseEveryRun)
{
    QTemporaryDir dir;
    const Bitmap24 source = randomBitmap(64, 48, 99);
    const QString in = dir.filePath("in.bmp");
    writeFileAtomically(in, encodeBmp24(source));
    auto out = [&](const char* name) { return dir.filePath(name).toStdString(); };
    for (const char* name : {"a.bmp", "b.bmp"}) // two runs, each its own noise from the start
        ASSERT_EQ(cmdRender({"--contrast=80", "--mosaic=5", "--color-noise=60", in.toStdString(), out(name)}), 0);
    EffectRenderer e;
    e.setPictureOriginal(source);
    e.setValue(Effect::Contrast, 80);
    e.setValue(Effect::Mosaic, 5);
    e.setValue(Effect::ColorNoise, 60);
    EXPECT_TRUE(decodeBmp(readWholeFile(dir.filePath("a.bmp"))) == e.rendered());
    EXPECT_EQ(readWholeFile(dir.filePath("a.bmp")), readWholeFile(dir.filePath("b.bmp")));
}
