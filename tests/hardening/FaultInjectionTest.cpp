// Every writer against a failure at every step of the atomic write, and of
// the in-place write taken where a rename can't keep what the user had (a
// folder that takes no new file, a file with another hard link): the old
// file stays whole, no temporary is left, the message is the writer's own,
// and the same command, once the disk behaves, writes what it would have
// written without the fault (so nothing held in memory was lost). Where even
// putting the old bytes back fails, the message names a copy.
#include "collection/CollectionFile.h"
#include "core/Errors.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "settings/IniFile.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"
#include "tests/support/TestPictures.h"
#include "tests/support/WriteFaults.h"

#include <QDir>
#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

using testpics::pattern;

// A writer's old file and the write that should replace it, sharing state.
struct Writer {
    std::function<void(const QString&)> writeOld, writeNew;
    std::function<QString(const QString& path, int error)> message = [](const QString& path, int error) {
        return msg::cannotCreate(path, QString::fromLocal8Bit(std::strerror(error)));
    };
};

Writer makeWriter(int kind)
{
    Writer w;
    if (kind == 0 || kind == 1) {
        const auto next = std::make_shared<Picture>(kind == 0 ? Picture::fromBitmap(pattern(7, 5, 90))
                                                              : Picture::fromJpegData(encodeJpeg(pattern(16, 8, 30))));
        w.writeOld = [](const QString& p) { Picture::fromBitmap(pattern(4, 3, 1)).saveToFile(p); };
        w.writeNew = [next](const QString& p) { next->saveToFile(p); };
    } else if (kind == 2) {
        w.writeOld = [](const QString& p) { writeCollection(p, {{"/old/a.jpg", "old comment"}}); };
        w.writeNew = [](const QString& p) { writeCollection(p, {{"/pictures/new one.jpg", "new"}, {"b.bmp", ""}}); };
        w.message = [](const QString& path, int error) { return ioErrorText(error, path); };
    } else {
        const auto ini = std::make_shared<std::unique_ptr<IniFile>>();
        w.writeOld = [ini](const QString& p) {
            IniFile old(p);
            old.writeString("Settings", "Language", "English");
            old.writeInteger("SlideShow", "Delay", 3);
            old.save();
            *ini = std::make_unique<IniFile>(p);
            (*ini)->writeInteger("SlideShow", "Delay", 9);
        };
        // A failed save stays modified, so the next one tries again.
        w.writeNew = [ini](const QString&) { (*ini)->save(); };
        w.message = [](const QString& path, int) { return "Unable to write to " + path; };
    }
    return w;
}

enum class Route { Atomic, RefusingFolder, HardLink };
const char* const kFiles[] = {"photo.bmp", "photo.jpg", "album.pvx", "pictavo.ini"};

struct Case {
    int writer; // an index into kFiles
    Route route;
    AtomicWriteFault step;
    int error;
};

class WriterFault : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        savedCache = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    }
    void TearDown() override
    {
        setAtomicWriteFault(AtomicWriteFault::None);
        setFolderRefusesNewFiles(false);
        qputenv("XDG_CACHE_HOME", savedCache);
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System); }
    QTemporaryDir dir, cache, reference;
    QByteArray savedCache;
};

TEST_P(WriterFault, OldFileWholeNoTemporaryOwnMessageStateKept)
{
    const Case c = GetParam();
    const QString path = dir.filePath(kFiles[c.writer]), other = dir.filePath("other name");
    const QString unfaulted = reference.filePath(kFiles[c.writer]);
    Writer plain = makeWriter(c.writer), writer = makeWriter(c.writer);
    plain.writeOld(unfaulted);
    plain.writeNew(unfaulted);
    writer.writeOld(path);
    const QByteArray oldBytes = fileBytes(path);
    if (c.route == Route::HardLink) {
        ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    }
    const QStringList names = files();
    setFolderRefusesNewFiles(c.route == Route::RefusingFolder);

    setAtomicWriteFault(c.step, c.error);
    const QString message = errorText([&] { writer.writeNew(path); });
    setAtomicWriteFault(AtomicWriteFault::None);

    const QStringList kept = QDir(backupFolder()).entryList(QDir::Files);
    if (c.step == AtomicWriteFault::Restore) {
        ASSERT_EQ(kept.size(), 1);
        const QString copy = QDir(backupFolder()).filePath(kept[0]);
        EXPECT_EQ(message, writer.message(path, c.error) + " " + msg::backupKept(copy));
        EXPECT_EQ(fileBytes(copy), oldBytes);
    } else {
        EXPECT_EQ(message, writer.message(path, c.error));
        EXPECT_EQ(fileBytes(path), oldBytes);
        EXPECT_TRUE(kept.isEmpty()) << kept.join(", ").toStdString();
    }
    EXPECT_EQ(files(), names);

    writer.writeNew(path);
    EXPECT_EQ(fileBytes(path), fileBytes(unfaulted));
    EXPECT_EQ(files(), names);
    if (c.route == Route::HardLink) {
        EXPECT_EQ(fileBytes(other), fileBytes(path));
    }
}

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (int w = 0; w < 4; ++w) {
        for (auto [step, error] : {std::pair{AtomicWriteFault::Open, EMFILE}, {AtomicWriteFault::Write, ENOSPC},
                                   {AtomicWriteFault::Flush, EIO}, {AtomicWriteFault::Commit, EXDEV}})
            cases.push_back({w, Route::Atomic, step, error});
        for (Route inPlace : {Route::RefusingFolder, Route::HardLink})
            for (auto [step, error] : {std::pair{AtomicWriteFault::Backup, ENOSPC}, {AtomicWriteFault::Write, ENOSPC},
                                       {AtomicWriteFault::Flush, EIO}, {AtomicWriteFault::Restore, EIO}})
                cases.push_back({w, inPlace, step, error});
    }
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    static const char* const writers[] = {"BitmapPicture", "JpegPicture", "Collection", "Settings"};
    static const char* const routes[] = {"", "_RefusingFolder", "_HardLink"};
    static const char* const steps[] = {"None", "Open", "PartialWrite", "Flush", "Rename", "Backup", "Restore"};
    return std::string(writers[info.param.writer]) + routes[int(info.param.route)] + "_" + steps[int(info.param.step)];
}

INSTANTIATE_TEST_SUITE_P(EveryWriterEveryStep, WriterFault, ::testing::ValuesIn(allCases()), caseName);

} // namespace
