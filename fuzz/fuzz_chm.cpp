// Compiled help files: the archive, its #SYSTEM record, every object and the
// contents and index sitemaps.
#include "fuzz/FuzzSupport.h"
#include "core/Errors.h"
#include "help/ChmFile.h"
#include "help/Sitemap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString path = fuzzScratchFile(fuzzBytes(data, size), QStringLiteral("chm"));
    try {
        ChmFile chm(path);
        int n = 0;
        for (const QString& object : chm.objects()) {
            if (++n > 64)
                break;
            chm.read(object);
        }
        for (const QString& sitemap : {chm.contentsFile(), chm.indexFile()}) {
            if (const auto bytes = chm.read(sitemap))
                help::parseSitemap(help::decodeSitemap(*bytes));
        }
        chm.read(chm.defaultTopic());
    } catch (const AppError&) {
    }
    return 0;
}
