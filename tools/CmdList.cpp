#include "collection/CollectionFile.h"
#include "core/Errors.h"
#include "core/FileNames.h"
#include "core/RegularFile.h"
#include "graphics/PictureFormat.h"
#include "tools/Commands.h"

#include <QFile>
#include <QString>

#include <cstdio>

// Prints each entry as soon as it is read, so a huge collection streams.
int cmdList(const Args& args, const CommonOptions& common)
{
    if (args.size() != 1)
        return usageError("list", "usage: pictavo-fx list FILE.pvx");
    const QString path = fileNameFromNative(args[0]);
    QList<int> longLines;
    CollectionReadHooks hooks;
    hooks.longLine = [&longLines](int line) { longLines << line; };
    hooks.codePage = common.codePage;
    // A picture read as a collection lists nothing, which would pass for
    // an empty collection.
    try {
        if (pictureFormatOf(RegularFile(path).readHead(PictureFormatHeadBytes)) != PictureFormat::Unknown) {
            std::fprintf(stderr, "pictavo-fx: %s is a picture, not a collection\n", args[0].c_str());
            return 1;
        }
    } catch (const AppError&) {
        // The reader below tells what is wrong with the file.
    }
    try {
        // The file each entry names, as the system names it.
        readCollection(
            path,
            [](int number, const CollectionEntry& e) {
                const QByteArray row = QByteArray::number(number) + '\t' + terminalText(e.path) + '\t' +
                                       e.comment.toUtf8() + '\n';
                std::fwrite(row.constData(), 1, std::size_t(row.size()), stdout);
            },
            hooks);
        if (!longLines.isEmpty()) {
            std::fflush(stdout);
            std::fprintf(
                stderr, "pictavo-fx: %s\n",
                terminalText(msg::collectionLongLines(path, lineNumbersText(longLines))).constData());
        }
    } catch (const AppError& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "pictavo-fx: %s\n", terminalText(e.text()).constData());
        return 1;
    }
    // A full disk under a redirected stdout must not pass for success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "pictavo-fx: cannot write the listing\n");
        return 1;
    }
    return 0;
}
