// pictavo-fx rotate left|right FILE: the Rotate command on one file, in place.
#include "tools/Commands.h"

#include "core/Errors.h"
#include "core/FileNames.h"
#include "effects/PictureWrite.h"

#include <cstdio>
#include <exception>

namespace {
int fail(const QString& text)
{
    std::fprintf(stderr, "pictavo-fx rotate: %s\n", terminalText(text).constData());
    return 1;
}

// Every message names the file, also those the picture code words without it.
QString naming(const QString& file, const QString& text)
{
    return text.contains(file) ? text : file + QStringLiteral(": ") + text;
}
} // namespace

int cmdRotate(const Args& words, const CommonOptions&)
{
    Args args = words;
    const ExifOrientation exif = takeExifOrientationOption(args);
    if (args.size() != 2 || (args[0] != "left" && args[0] != "right"))
        return usageError("rotate", "usage: pictavo-fx rotate [--no-auto-orient] left|right FILE");
    const int angle = args[0] == "left" ? 270 : 90;
    const QString file = fileNameFromNative(args[1]);
    try {
        rotatePictureFile(Picture::loadFromFile(file, exif), file, angle);
        return 0;
    } catch (const AppError& e) {
        return fail(naming(file, e.text()));
    } catch (const std::exception& e) {
        return fail(naming(file, QString::fromLocal8Bit(e.what())));
    }
}
