// pictavo-fx render [OPTIONS] IN OUT: IN through the effect engine into OUT,
// a JPEG keeping the metadata of a JPEG IN.
#include "tools/Commands.h"

#include "effects/EffectSettings.h"
#include "effects/EffectRenderer.h"
#include "effects/Random.h"
#include "effects/StreamedTone.h"
#include "core/AtomicFile.h"
#include "graphics/BmpCodec.h"
#include "core/Errors.h"
#include "graphics/Picture.h"

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {
int fail(const QString& text)
{
    std::fprintf(stderr, "pictavo-fx render: %s\n", text.toLocal8Bit().constData());
    return 1;
}

void printProperties(const EffectRenderer& engine)
{
    for (int i = 0; i < EffectPropertyCount; ++i) {
        const auto p = EffectProperty(i);
        std::printf("%s=%d\n", effectPropertyName(p), engine.property(p));
    }
    std::fflush(stdout);
}
} // namespace

int cmdRender(const Args& words)
{
    try {
        Args args = words;
        const ExifOrientation exif = takeExifOrientationOption(args);
        Args options;
        std::vector<std::string> files;
        bool showProperties = false;
        for (const std::string& a : args) {
            if (a == "--show-properties")
                showProperties = true;
            else if (a.rfind("--", 0) == 0)
                options.push_back(a);
            else
                files.push_back(a);
        }
        if (files.size() != 2)
            return usageError("render", "usage: pictavo-fx render [OPTIONS] IN OUT");
        std::vector<EffectSetting> settings;
        try {
            settings = parseEffectOptions(options);
        } catch (const AppError& e) {
            return usageError("render", e.text().toStdString());
        }
        const QString in = QString::fromLocal8Bit(files[0].c_str());
        const QString out = QString::fromLocal8Bit(files[1].c_str());
        const QString ext = pictureExtension(out);
        if (ext != QLatin1String("bmp") && ext != QLatin1String("jpg") && ext != QLatin1String("jpeg"))
            return fail(msg::unknownExtension(ext));

        ResetRandom(); // every run draws the same noise, as a fresh program does
        // Each noise setting draws a pattern over the picture; the stream
        // draws one.
        const auto noiseSetting = [](const EffectSetting& s) {
            return s.property == EffectProperty::PicColorNoise || s.property == EffectProperty::PicMonoNoise;
        };
        if (std::count_if(settings.begin(), settings.end(), noiseSetting) <= 1) {
            EffectRenderer tones;
            applyEffectSettings(tones, settings);
            if (renderFileStreamed(in, out, tones.properties(), exif)) {
                if (showProperties)
                    printProperties(tones);
                return 0;
            }
        }

        EffectRenderer engine;
        const Picture source = Picture::loadFromFile(in, exif);
        engine.setPictureOriginal(source);
        applyEffectSettings(engine, settings);

        const Bitmap24& result = engine.Picture();
        if (result.isEmpty())
            return fail(QStringLiteral("%1: no picture").arg(in));
        writeFileAtomically(out, ext == QLatin1String("bmp") ? encodeBmp24(result)
                                                             : source.encodeJpegReplacement(result));

        if (showProperties)
            printProperties(engine);
        return 0;
    } catch (const AppError& e) {
        return fail(e.text());
    } catch (const std::exception& e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
}
