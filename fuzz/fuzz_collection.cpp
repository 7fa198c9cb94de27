// Collection reader: single lines and whole files.
#include "collection/CollectionFile.h"
#include "core/Errors.h"
#include "core/FileNames.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    CollectionEntry entry;
    parseCollectionLine(bytes, entry);

    const QString path = fuzzScratchFile(bytes, QStringLiteral("pvx"));
    try {
        int last = 0;
        QList<CollectionEntry> entries;
        readCollection(path, [&](int number, const CollectionEntry& e) {
            if (number != last + 1)
                std::abort();
            last = number;
            entries.append(e);
        });
        // A collection we read and write back must read back the same,
        // as long as its file names and comments hold no line breaks or "^".
        bool plain = true;
        for (const CollectionEntry& e : entries) {
            for (const QString& s : {e.path, e.comment})
                if (s.contains(QLatin1Char('^')) || s.contains(QLatin1Char('\n')) ||
                    s.contains(QLatin1Char('\r')) || s.contains(QChar(26)))
                    plain = false;
        }
        if (plain && !entries.isEmpty()) {
            // Beside the first, so relative paths name the same files.
            const QString again = fuzzScratchFile(formatCollection(entries, nullptr, realFolderOf(path)),
                                                  QStringLiteral("2.pvx"));
            if (readCollectionAll(again) != entries)
                std::abort();
        }
    } catch (const AppError&) {
    }
    return 0;
}
