// pictavo-fx apply [OPTIONS] FILE.pvx: the effects written into every picture
// of a collection, in collection order, as the effects dialog does it.
#include "tools/Commands.h"

#include "collection/CollectionFile.h"
#include "core/Errors.h"
#include "core/FileNames.h"
#include "effects/AllPicturesRun.h"

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
// The tool's side of a run: a line for each picture passed by, each that
// can't be written and each written.
class ToolRunHost : public AllPicturesRun::Host {
public:
    ToolRunHost(bool skipUnusable, QString& current) : m_skipUnusable(skipUnusable), m_current(current) {}

    void passedBy(const QString& file) override
    {
        std::fprintf(stderr, "%s\n", terminalText(msg::kindNotChanged(file)).constData());
    }
    bool skipUnusable(const QList<UnusableEntry>& unusable) override
    {
        for (const UnusableEntry& u : unusable)
            fail(naming(u.file, u.reason));
        return m_skipUnusable;
    }
    // Files are done in order, so a failure is in the one after the last
    // done (the next may already be under way beside it).
    void starting(const QStringList& files, bool) override
    {
        m_files = files;
        if (!files.isEmpty())
            m_current = files.first();
    }
    void written(int k, int total, const QString& file) override
    {
        std::fprintf(stderr, "%d / %d %s\n", k, total, terminalText(file).constData());
        std::fflush(stderr);
        m_current = m_files.value(k, m_current);
    }

private:
    bool m_skipUnusable;
    QString& m_current;
    QStringList m_files;
};
} // namespace

int cmdApply(const Args& words, const CommonOptions& common)
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
        hooks.codePage = common.codePage;
        readCollection(
            collection, [&entries](int, const CollectionEntry& e) { entries << e; }, hooks);
        if (!longLines.isEmpty())
            fail(msg::collectionLongLines(collection, lineNumbersText(longLines)));
        QStringList files;
        for (const CollectionEntry& e : entries)
            files.append(e.path);
        ToolRunHost host(skipUnusable, current);
        const AllPicturesRun::Outcome done = AllPicturesRun(settings, exif).run(files, host);
        if (!done.started)
            return fail(QStringLiteral("nothing was written (--skip-unusable writes the other pictures)"));
        if (done.passedBy > 0)
            std::fprintf(stderr, "%d changed, %d left as they are\n", done.written, done.passedBy);
        return 0;
    } catch (const AppError& e) {
        return fail(naming(current, e.text()));
    } catch (const std::exception& e) {
        return fail(naming(current, QString::fromLocal8Bit(e.what())));
    }
}
