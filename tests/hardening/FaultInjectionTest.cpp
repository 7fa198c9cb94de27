// Every writer against a failure at every step of the atomic write, and of
// the in-place write taken where a rename can't keep what the user had (a
// folder that takes no new file, a file with another hard link): the old
// file stays whole, no temporary is left, the message is the writer's own,
// what is held in memory is unchanged, and a later write still succeeds.
// Where even putting the old bytes back fails, the message names a copy.
#include "collection/CollectionFile.h"
#include "core/AtomicFile.h"
#include "graphics/BmpCodec.h"
#include "core/Errors.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "settings/IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

Bitmap24 pattern(int w, int h, int seed)
{
    Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = b.scanLine(y) + 3 * x;
            p[0] = std::uint8_t(x * 7 + seed);
            p[1] = std::uint8_t(y * 11 + seed);
            p[2] = std::uint8_t((x ^ y) + seed);
        }
    return b;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// One writer: prepares an old file, then runs a write that should replace it,
// and can tell whether its in-memory state is still what it was.
struct Writer {
    virtual ~Writer() = default;
    virtual QString fileName() const = 0;
    virtual void writeOld(const QString& path) = 0;
    virtual void writeNew(const QString& path) = 0;
    virtual QString expectedMessage(const QString& path, int error) const = 0;
    virtual void expectStateUnchanged() const = 0;
    virtual void expectNewWritten(const QString& path) const = 0;
};

QString osText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

struct BitmapPictureWriter : Writer {
    Picture next = Picture::fromBitmap(pattern(7, 5, 90));
    Bitmap24 nextPixels = next.bitmap();
    QString fileName() const override { return "photo.bmp"; }
    void writeOld(const QString& path) override { Picture::fromBitmap(pattern(4, 3, 1)).saveToFile(path); }
    void writeNew(const QString& path) override { next.saveToFile(path); }
    QString expectedMessage(const QString& path, int error) const override
    {
        return QString("Cannot create file \"%1\". %2").arg(path, osText(error));
    }
    void expectStateUnchanged() const override
    {
        EXPECT_EQ(next.kind(), Picture::Kind::Bitmap);
        EXPECT_TRUE(next.bitmap() == nextPixels);
    }
    void expectNewWritten(const QString& path) const override
    {
        EXPECT_TRUE(decodeBmp(fileBytes(path)) == nextPixels);
    }
};

struct JpegPictureWriter : Writer {
    QByteArray nextBytes = encodeJpeg(pattern(16, 8, 30));
    Picture next = Picture::fromJpegData(nextBytes);
    QString fileName() const override { return "photo.jpg"; }
    void writeOld(const QString& path) override
    {
        Picture::fromJpegData(encodeJpeg(pattern(8, 8, 5))).saveToFile(path);
    }
    void writeNew(const QString& path) override { next.saveToFile(path); }
    QString expectedMessage(const QString& path, int error) const override
    {
        return QString("Cannot create file \"%1\". %2").arg(path, osText(error));
    }
    void expectStateUnchanged() const override
    {
        EXPECT_EQ(next.data(), nextBytes);
        EXPECT_EQ(next.size(), QSize(16, 8));
    }
    void expectNewWritten(const QString& path) const override { EXPECT_EQ(fileBytes(path), nextBytes); }
};

struct CollectionWriter : Writer {
    const QList<CollectionEntry> entries{{"/pictures/new one.jpg", "kept in memory"}, {"b.bmp", ""}};
    QList<CollectionEntry> held = entries;
    QString fileName() const override { return "album.pvx"; }
    void writeOld(const QString& path) override { writeCollection(path, {{"/old/a.jpg", "old comment"}}); }
    void writeNew(const QString& path) override { writeCollection(path, held); }
    QString expectedMessage(const QString& path, int error) const override
    {
        return ioErrorText(error, path);
    }
    void expectStateUnchanged() const override { EXPECT_EQ(held, entries); }
    void expectNewWritten(const QString& path) const override { EXPECT_EQ(readCollectionAll(path), entries); }
};

struct SettingsWriter : Writer {
    std::unique_ptr<IniFile> ini;
    QByteArray document;
    QString fileName() const override { return "pictavo.ini"; }
    void writeOld(const QString& path) override
    {
        IniFile old(path);
        old.writeString("Settings", "Language", "English");
        old.writeInteger("SlideShow", "Delay", 3);
        old.save();
        ini = std::make_unique<IniFile>(path);
        ini->writeInteger("SlideShow", "Delay", 9);
        document = ini->toBytes();
    }
    void writeNew(const QString&) override { ini->save(); }
    QString expectedMessage(const QString& path, int) const override
    {
        return QString("Unable to write to %1").arg(path);
    }
    void expectStateUnchanged() const override
    {
        // Still modified, so the next save tries again with the same text.
        EXPECT_TRUE(ini->isModified());
        EXPECT_EQ(ini->toBytes(), document);
        EXPECT_EQ(ini->readInteger("SlideShow", "Delay", 0), 9);
    }
    void expectNewWritten(const QString& path) const override
    {
        EXPECT_FALSE(ini->isModified());
        EXPECT_EQ(IniFile(path).readInteger("SlideShow", "Delay", 0), 9);
        EXPECT_EQ(IniFile(path).readString("Settings", "Language", ""), "English");
    }
};

enum class Route { Atomic, RefusingFolder, HardLink };

struct Case {
    const char* writer;
    Route route;
    AtomicWriteFault step;
    int error;
};

std::unique_ptr<Writer> makeWriter(const std::string& name)
{
    if (name == "BitmapPicture")
        return std::make_unique<BitmapPictureWriter>();
    if (name == "JpegPicture")
        return std::make_unique<JpegPictureWriter>();
    if (name == "Collection")
        return std::make_unique<CollectionWriter>();
    return std::make_unique<SettingsWriter>();
}

class WriterFault : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(cache.isValid());
        savedCache = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    }
    void TearDown() override
    {
        setAtomicWriteFault(AtomicWriteFault::None);
        setFolderRefusesNewFiles(false);
        qputenv("XDG_CACHE_HOME", savedCache);
    }
    QStringList filesInDir() const
    {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QTemporaryDir dir;
    QTemporaryDir cache;
    QByteArray savedCache;
};

TEST_P(WriterFault, OldFileWholeNoTemporaryOwnMessageStateKept)
{
    const Case c = GetParam();
    const std::unique_ptr<Writer> writer = makeWriter(c.writer);
    const QString path = dir.filePath(writer->fileName());
    writer->writeOld(path);
    const QByteArray oldBytes = fileBytes(path);
    QStringList names{writer->fileName()};
    const QString other = dir.filePath("other name");
    if (c.route == Route::HardLink) {
        ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
        names << "other name";
        names.sort();
    }
    setFolderRefusesNewFiles(c.route == Route::RefusingFolder);

    setAtomicWriteFault(c.step, c.error);
    QString message;
    try {
        writer->writeNew(path);
    } catch (const AppError& e) {
        message = e.text();
    }
    setAtomicWriteFault(AtomicWriteFault::None);

    const QStringList kept = QDir(backupFolder()).entryList(QDir::Files);
    if (c.step == AtomicWriteFault::Restore) {
        // The old bytes could not be put back: the message says where they are.
        ASSERT_EQ(kept.size(), 1);
        const QString copy = QDir(backupFolder()).filePath(kept[0]);
        EXPECT_EQ(message, writer->expectedMessage(path, c.error) + " " + msg::backupKept(copy));
        EXPECT_EQ(fileBytes(copy), oldBytes);
    } else {
        EXPECT_EQ(message, writer->expectedMessage(path, c.error));
        EXPECT_EQ(fileBytes(path), oldBytes);
        EXPECT_TRUE(kept.isEmpty()) << kept.join(", ").toStdString();
    }
    EXPECT_EQ(filesInDir(), names);
    writer->expectStateUnchanged();

    // Once the disk behaves again the same command goes through.
    writer->writeNew(path);
    writer->expectNewWritten(path);
    EXPECT_EQ(filesInDir(), names);
    if (c.route == Route::HardLink) {
        EXPECT_EQ(fileBytes(other), fileBytes(path));
    }
}

std::vector<Case> allCases()
{
    std::vector<Case> cases;
    for (const char* writer : {"BitmapPicture", "JpegPicture", "Collection", "Settings"}) {
        cases.push_back({writer, Route::Atomic, AtomicWriteFault::Open, EMFILE});
        cases.push_back({writer, Route::Atomic, AtomicWriteFault::Write, ENOSPC});
        cases.push_back({writer, Route::Atomic, AtomicWriteFault::Flush, EIO});
        cases.push_back({writer, Route::Atomic, AtomicWriteFault::Commit, EXDEV});
        for (Route inPlace : {Route::RefusingFolder, Route::HardLink}) {
            cases.push_back({writer, inPlace, AtomicWriteFault::Backup, ENOSPC});
            cases.push_back({writer, inPlace, AtomicWriteFault::Write, ENOSPC});
            cases.push_back({writer, inPlace, AtomicWriteFault::Flush, EIO});
            cases.push_back({writer, inPlace, AtomicWriteFault::Restore, EIO});
        }
    }
    return cases;
}

std::string caseName(const ::testing::TestParamInfo<Case>& info)
{
    static const char* const routes[] = {"", "_RefusingFolder", "_HardLink"};
    static const char* const steps[] = {"None",   "Open",   "PartialWrite", "Flush",
                                        "Rename", "Backup", "Restore"};
    return std::string(info.param.writer) + routes[int(info.param.route)] + "_" + steps[int(info.param.step)];
}

INSTANTIATE_TEST_SUITE_P(EveryWriterEveryStep, WriterFault, ::testing::ValuesIn(allCases()), caseName);

} // namespace
