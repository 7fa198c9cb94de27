// pictavo-fx apply [OPTIONS] FILE.pvx: the effects written into every picture
// of a collection, in collection order, as the effects dialog does it.
#include "tools/Commands.h"

#include "collection/CollectionFile.h"
#include "core/Errors.h"
#include "core/FileNames.h"
#include "effects/ApplyCheck.h"
#include "effects/EffectRenderer.h"
#include "effects/EffectSettings.h"
#include "effects/PictureWrite.h"
#include "effects/Random.h"
#include "graphics/PictureRewrite.h"

#include <cstdio>
#include <exception>

namespace {
int fail(const QString& text)
{
    std::fprintf(stderr, "pictavo-fx apply: %s\n", terminalText(text).constData());
    return 1;
}

QString naming(const QString& file, const QString& text)
{
    // A name with a NUL is named with its mark.
    const QString shown = QString(file).replace(QChar(0), QLatin1String("\\0"));
    return file.isEmpty() || text.contains(shown) ? text : file + QStringLiteral(": ") + text;
}
} // namespace

int cmdApply(const Args& words)
{
    Args args = words;
    const ExifOrientation exif = takeExifOrientationOption(args);
    const auto skipOption = std::remove(args.begin(), args.end(), std::string("--skip-unusable"));
    const bool skipUnusable = skipOption != args.end();
    args.erase(skipOption, args.end());
    Args options;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a.rfind("--", 0) == 0)
            options.push_back(a);
        else
            files.push_back(a);
    }
    if (files.size() != 1)
        return usageError("apply", "usage: pictavo-fx apply [--skip-unusable] [OPTIONS] FILE.pvx");
    const QString collection = fileNameFromNative(files[0]);

    std::vector<EffectSetting> settings;
    try {
        settings = parseEffectOptions(options);
    } catch (const AppError& e) {
        return usageError("apply", e.text().toStdString());
    }

    QString current = collection;
    try {
        // Relative entries are read against the collection's folder.
        QList<CollectionEntry> entries;
        QList<int> longLines;
        CollectionReadHooks hooks;
        hooks.longLine = [&longLines](int line) { longLines << line; };
        readCollection(
            collection, [&entries](int, const CollectionEntry& e) { entries << e; }, hooks);
        if (!longLines.isEmpty())
            fail(msg::collectionLongLines(collection, lineNumbersText(longLines)));
        ResetRandom(); // the noise a freshly started program would draw
        EffectRenderer engine;
        applyEffectSettings(engine, settings);
        QStringList files;
        int passedBy = 0;
        for (const CollectionEntry& e : entries) {
            if (!pictureFilePassedBy(e.FileName)) {
                files.append(e.FileName);
                continue;
            }
            ++passedBy;
            std::fprintf(stderr, "%s\n", terminalText(msg::kindNotChanged(e.FileName)).constData());
        }
        // Every entry is checked before the first is written: one line for
        // each that can't be, and then nothing is written unless told to
        // skip them.
        const QList<UnusableEntry> unusable = checkEntries(files, exif);
        for (const UnusableEntry& u : unusable)
            fail(naming(u.file, u.reason));
        if (!unusable.isEmpty() && !skipUnusable)
            return fail(QStringLiteral("nothing was written (--skip-unusable writes the other pictures)"));
        files = usableFiles(files, unusable);
        // Files are done in order, so a failure is in the one after the
        // last done (the next may already be under way beside it).
        if (!files.isEmpty())
            current = files.first();
        ApplyProgress progress;
        progress.after = [&current, &files](int k, int total, const QString& file) {
            std::fprintf(stderr, "%d / %d %s\n", k, total, terminalText(file).constData());
            std::fflush(stderr);
            current = files.value(k, current);
        };
        const int done = applyEffectsToFiles(engine, files, exif, progress);
        if (passedBy > 0)
            std::fprintf(stderr, "%d changed, %d left as they are\n", done, passedBy);
        return 0;
    } catch (const AppError& e) {
        return fail(naming(current, e.text()));
    } catch (const std::exception& e) {
        return fail(naming(current, QString::fromLocal8Bit(e.what())));
    }
}
