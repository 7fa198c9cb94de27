// Damaged files and what the user is told of them: the help file the build
// compiles, damaged one field at a time (chmlib would loop over, read before
// or allocate what the damaged field says); pictures of every kind, each
// message naming the file and saying in words what is wrong. (The fuzzers'
// findings in regressions/ run in FuzzReplayTest.)
#include "core/AtomicFile.h"
#include "effects/PictureWrite.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "graphics/TiffStructure.h"
#include "help/ChmFile.h"
#include "help/HelpRules.h"
#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/KindPictures.h"
#include "tests/support/Printers.h"
#include "tests/support/TestPictures.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

namespace {

enum class Damage { LeafChunkNamesItselfAsNext, FreeSpaceLargerThanTheChunk, HugeChunkSize };

class DamagedHelp : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedHelp, IsRefusedAsNoHelpFile)
{
    QByteArray bytes = fileBytes(help::localHelpPath(help::kFixedHelpPath, PV_BINARY_DIR));
    ASSERT_GT(bytes.size(), 0x100);
    const auto directory = qsizetype(qFromLittleEndian<quint64>(bytes.constData() + 0x48));
    const quint32 chunkSize = qFromLittleEndian<quint32>(bytes.constData() + directory + 0x10);
    const qsizetype leaf = bytes.indexOf("PMGL", directory + 0x54);
    ASSERT_GT(leaf, 0);
    switch (GetParam()) {
    case Damage::LeafChunkNamesItselfAsNext:
        qToLittleEndian(qint32((leaf - directory - 0x54) / chunkSize), bytes.data() + leaf + 0x10);
        break;
    case Damage::FreeSpaceLargerThanTheChunk: qToLittleEndian(chunkSize + 100, bytes.data() + leaf + 4); break;
    case Damage::HugeChunkSize: qToLittleEndian(quint32(1) << 30, bytes.data() + directory + 0x10); break;
    }
    QTemporaryDir dir;
    const QString damaged = dir.filePath("damaged.chm");
    ASSERT_TRUE(putBytes(damaged, bytes));
    EXPECT_EQ(errorText([&] { ChmFile(damaged).objects(); }),
              QString("Cannot open file \"%1\". Not a compiled HTML help file").arg(damaged));
}

INSTANTIATE_TEST_SUITE_P(Fields, DamagedHelp, ::testing::Values(Damage::LeafChunkNamesItselfAsNext,
                                                                Damage::FreeSpaceLargerThanTheChunk, Damage::HugeChunkSize));

// ---- Pictures ----

QByteArray firstHalf(const QByteArray& file)
{
    return file.left(file.size() / 2);
}

QByteArray jpegWithoutScan()
{
    const QByteArray jpeg = encodeJpeg(testpics::pattern(32, 16, 1));
    return jpeg.left(jpeg.indexOf("\xff\xda")) + "\xff\xd9";
}

// A TIFF whose directory names itself as the next one.
QByteArray tiffLoop()
{
    QByteArray tiff = kinds::tiff(kinds::quadrants(8, 8), 1);
    const TiffStructure t(tiff);
    const qsizetype first = t.directoryAt(TiffStructure::Directory::First);
    t.put32(tiff, first + 2 + 12 * t.read16(first), quint32(first));
    return tiff;
}

QByteArray png()
{
    return kinds::encoded(testpics::pattern(64, 48, 2).toImage(), "png");
}

enum class Command { Show, TurnRight };

// A file, what is done with it, and what the user is told ("%1": its path).
struct Told {
    const char* name;
    std::function<QByteArray()> bytes;
    const char* message;
    Command command = Command::Show;
};

// What the viewer tells of the file: the failure to read it, or its damage
// as the status bar notes it; or of turning it.
QString toldOf(const QString& path, Command command)
{
    return errorText([&] {
        const Picture p = Picture::loadFromFile(path);
        if (command == Command::TurnRight) {
            rotatePictureFile(p, path, 90);
            return;
        }
        p.toImage();
        if (p.damage() != PictureDamage::None)
            throw AppError(QStringLiteral("\"%1\" is damaged (%2)").arg(path, damageReason(p.damage())));
    });
}

class PictureMessages : public ::testing::TestWithParam<Told> {};

TEST_P(PictureMessages, NameTheFileAndSayWhatIsWrong)
{
    const Told& t = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(t.name));
    writeFileAtomically(path, t.bytes());
    const QByteArray before = fileBytes(path);
    EXPECT_EQ(toldOf(path, t.command), QString::fromUtf8(t.message).arg(path));
    EXPECT_EQ(fileBytes(path), before);
}

const auto kText = [] { return QByteArray("Dear diary, today I named a text file like a picture.\n"); };

// clang-format off
INSTANTIATE_TEST_SUITE_P(Kinds, PictureMessages, ::testing::Values(
    Told{"notes.txt", kText, "\"%1\" is not a picture Pictavo reads (unknown picture file extension .txt)"},
    Told{"empty.jpg", [] { return QByteArray(); }, "\"%1\" is damaged (it is empty)"},
    Told{"text.jpg", kText, "\"%1\" is not a JPEG picture"}, Told{"text.bmp", kText, "\"%1\" is not a BMP picture"},
    Told{"text.png", kText, "\"%1\" is not a PNG picture"}, Told{"text.gif", kText, "\"%1\" is not a GIF picture"},
    Told{"text.webp", kText, "\"%1\" is not a WebP picture"}, Told{"text.tif", kText, "\"%1\" is not a TIFF picture"},
    Told{"text.heic", kText, "\"%1\" is not a HEIF picture"}, Told{"text.ico", kText, "\"%1\" is not an icon picture"},
    Told{"noscan.jpg", jpegWithoutScan, "\"%1\" is damaged (its data is corrupt; JPEG error #59)"},
    Told{"monkey12.jpg", [] { return fileBytes(QStringLiteral(PV_CORPUS_DIR "/jpeg/monkey12.jpg")); },
         "\"%1\" uses a layout Pictavo can't read (samples of more than 8 bits; JPEG error #15)"},
    Told{"cut.jpg", [] { return firstHalf(encodeJpeg(testpics::pattern(256, 192, 1))); }, "\"%1\" is damaged (its data ends early)"},
    Told{"cut.bmp", [] { return QByteArray("BM"); }, "\"%1\" is damaged (its data ends early)"},
    Told{"cut.png", [] { return firstHalf(png()); }, "\"%1\" is damaged (its data ends early)"},
    Told{"cut.gif", [] { return fileBytes(QStringLiteral(PV_SOURCE_DIR "/tests/graphics/samples/frames.gif")).left(80); },
         "\"%1\" is damaged (its data ends early)"},
    Told{"cut.webp", [] { return firstHalf(kinds::encoded(testpics::pattern(64, 48, 4).toImage(), "webp")); },
         "\"%1\" is damaged (its data ends early)"},
    Told{"cut.tif", [] { return firstHalf(kinds::tiff(testpics::pattern(64, 48, 5).toImage(), 1, false)); },
         "\"%1\" is damaged (its data ends early)"},
    Told{"cut.heic", [] { return firstHalf(kinds::heif(testpics::pattern(64, 48, 6).toImage(), false)); },
         "\"%1\" is damaged (its data ends early)"},
    Told{"loop.tif", tiffLoop, "\"%1\" is damaged (its data is corrupt)"},
    // Damaged kinds that are written are refused as damaged, not as kinds never changed.
    Told{"turned.tif", tiffLoop, "\"%1\" is damaged (its data is corrupt); it was not changed.", Command::TurnRight},
    Told{"turned.png", [] { return firstHalf(png()); }, "\"%1\" is damaged (its data ends early); it was not changed.",
         Command::TurnRight},
    // A layout no rewrite keeps is refused, naming what would be lost.
    Told{"float.tif", [] { return kinds::tiffOf({4, 2, 32, 1, 1, {}, {}, 72, 72, 3}, QByteArray(32, '\0')); },
         "\"%1\" uses a layout Pictavo can't write (floating-point samples); it was not changed.", Command::TurnRight}),
    [](const auto& info) { return QString::fromLatin1(info.param.name).replace('.', '_').toStdString(); });
// clang-format on

} // namespace
