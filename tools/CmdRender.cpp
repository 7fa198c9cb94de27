// pictavo-fx render [OPTIONS] IN OUT: IN (any kind read) through the effect
// engine into OUT, a BMP, JPEG, PNG or TIFF by its extension, keeping the
// metadata of an IN of the same kind and the colour profile of any.
#include "tools/Commands.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "core/FileNames.h"
#include "effects/EffectRenderer.h"
#include "effects/EffectSettings.h"
#include "effects/PictureWrite.h"
#include "effects/StreamedTone.h"
#include "graphics/BmpStream.h"
#include "graphics/DisplayColors.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "graphics/PictureRewrite.h"

#include <QBuffer>
#include <QImageWriter>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>

namespace {
int fail(const QString& text)
{
    std::fprintf(stderr, "pictavo-fx render: %s\n", terminalText(text).constData());
    return 1;
}

QByteArray newTiffFile(const Bitmap24& pixels, const Picture& source)
{
    QImage image = pixels.toImage();
    if (const QColorSpace space = source.colorSpace(); space.isValid())
        image.setColorSpace(space);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (!writer.write(image))
        throw AppError(writer.errorString());
    return bytes;
}

// A JPEG keeps a JPEG's metadata, a PNG a PNG's, a TIFF a TIFF's; from
// other kinds they keep the colour profile.
QByteArray renderedFile(PictureFileKind to, const Picture& source, const Bitmap24& result)
{
    if (to == PictureFileKind::Png || to == PictureFileKind::Tiff) {
        const PictureFormat same = to == PictureFileKind::Png ? PictureFormat::Png : PictureFormat::Tiff;
        if (source.format() == same && pictureRewritable(source))
            return pictureFileWithPixels(source, result);
        return to == PictureFileKind::Png ? newPngFile(result, source) : newTiffFile(result, source);
    }
    if (source.kind() == Picture::Kind::Jpeg)
        return source.encodeJpegReplacement(result);
    JpegMetadata metadata;
    if (needsConversion(source.colorSpace()))
        metadata.segments = iccToJpegSegments(source.iccProfile());
    return encodeJpeg(result, 90, metadata);
}

void printProperties(const EffectRenderer& engine)
{
    for (const EffectInfo& info : kEffectTable)
        std::printf("%s=%d\n", info.name, engine.value(info.effect));
    std::fflush(stdout);
}
} // namespace

int cmdRender(const Args& words, const CommonOptions&)
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
        // Render makes a new picture: over its own input it would destroy
        // the picture it reads, by whatever name OUT gives it.
        std::error_code sameError;
        if (std::filesystem::equivalent(files[0], files[1], sameError))
            return usageError("render",
                              files[0] + " and " + files[1] +
                                  " are the same file: render writes a new picture, never its input");
        const QString in = fileNameFromNative(files[0]);
        const QString out = fileNameFromNative(files[1]);
        const PictureFileKind to = pictureFileKindOfName(out);
        if (to == PictureFileKind::Other)
            return fail(msg::unknownExtension(pictureExtension(out)));

        // Each noise setting draws a pattern over the picture; the stream
        // draws one. A new engine draws what a fresh program does.
        const auto noiseSetting = [](const EffectSetting& s) {
            return effectInfo(s.effect).step == EffectStep::Noise;
        };
        const bool oneDraw = std::count_if(settings.begin(), settings.end(), noiseSetting) <= 1;
        EffectRenderer engine;
        if (oneDraw) {
            applyEffectSettings(engine, settings);
            if (renderFileStreamed(in, out, engine.values(), exif, engine.noiseGenerator())) {
                if (showProperties)
                    printProperties(engine);
                return 0;
            }
        }

        Picture source = Picture::loadFromFile(in, exif);
        // One rendering, with the settings already in place, where that
        // draws the same noise as setting them one by one over the picture.
        Bitmap24 pixels = source.toBitmap24();
        refuseDamaged(source, in);
        // A bitmap has no metadata to keep: its own copy of the pixels goes now.
        if (source.kind() == Picture::Kind::Bitmap)
            source = Picture();
        Bitmap24 detached;
        if (oneDraw) {
            // Rendered in the decoded picture's own memory: nothing else is kept.
            detached = engine.renderDetached(std::move(pixels));
        } else {
            engine.setPictureOriginal(std::move(pixels));
            applyEffectSettings(engine, settings);
        }

        const Bitmap24& result = oneDraw ? detached : engine.rendered();
        if (result.isEmpty())
            return fail(QStringLiteral("%1: no picture").arg(in));
        if (to == PictureFileKind::Bitmap)
            writeBmp24File(out, result);
        else
            writeFileAtomically(out, renderedFile(to, source, result));

        if (showProperties)
            printProperties(engine);
        return 0;
    } catch (const AppError& e) {
        return fail(e.text());
    } catch (const std::exception& e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
}
