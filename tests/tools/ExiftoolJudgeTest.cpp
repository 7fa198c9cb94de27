// Real camera files and a maker-note block written by hand, turned and
// rendered by pictavo-fx, then read by exiftool: no tag lost or changed but
// orientation, dimensions and thumbnail, and no new warning.
#include "core/AtomicFile.h"
#include "graphics/JpegCodec.h"
#include "tests/support/CameraPictures.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TestPictures.h"
#include "tests/tools/FxRun.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

// Every tag exiftool reads, "[Group] Name: value", less what names the file
// itself and what a new encoding of the pixels must change.
QSet<QString> tags(const QString& path)
{
    static const QRegularExpression line(QStringLiteral("^\\[(\\S+)\\]\\s+(\\S+)\\s*:"));
    static const QSet<QString> mayChange{"Orientation", "ExifImageWidth", "ExifImageHeight", "ImageWidth",
                                         "ImageHeight", "ThumbnailOffset", "ThumbnailLength", "ThumbnailImage",
                                         "ImageSize", "Megapixels"};
    // System and File describe the file and its encoding; Adobe's marker
    // describes the old encoding and goes with it.
    static const QSet<QString> groups{"System", "File", "ExifTool", "Adobe"};
    QSet<QString> kept;
    for (const QString& l : camera::exiftool({"-a", "-G1", "-s", path})) {
        const QRegularExpressionMatch m = line.match(l);
        if (m.hasMatch() && !groups.contains(m.captured(1)) && !mayChange.contains(m.captured(2)))
            kept.insert(l.simplified());
    }
    return kept;
}

QSet<QString> warnings(const QString& path)
{
    QSet<QString> found;
    for (const QString& l : camera::exiftool({"-validate", "-warning", "-a", "-s", path}))
        if (l.startsWith(QLatin1String("Warning")))
            found.insert(l.simplified());
    return found;
}

// The checks every write must pass: `after` holds every tag of `before`
// but the ones above, no more, and exiftool warns of nothing new.
void expectKept(const QString& before, const QString& after)
{
    const QSet<QString> was = tags(before), now = tags(after);
    for (const QString& t : was - now)
        ADD_FAILURE() << "lost or changed: " << t.toStdString();
    for (const QString& t : now - was)
        ADD_FAILURE() << "added or changed: " << t.toStdString();
    for (const QString& w : warnings(after) - warnings(before))
        ADD_FAILURE() << "new warning: " << w.toStdString();
}

struct Judged {
    const char* file;
    bool render; // else a quarter turn in place
};

// A big-endian TIFF block built field by field, as a camera writes it.
class TiffBlock {
public:
    QByteArray bytes = QByteArray("MM\0\x2A\0\0\0\x08", 8);
    int size() const { return int(bytes.size()); }
    void u16(int v) { bytes += char(v >> 8) + QByteArray(1, char(v)); }
    void u32(quint32 v) { bytes += QByteArray(4, '\0'), putAt(size() - 4, v); }
    void entry(int tag, int type, quint32 count, quint32 value)
    {
        u16(tag);
        u16(type);
        u32(count);
        u32(type == 3 && count == 1 ? value << 16 : value);
    }
    void putAt(int at, quint32 v) { qToBigEndian(v, bytes.data() + at); }
};

// Canon-style maker notes: a directory inside the MakerNote value whose
// entries point at strings and numbers elsewhere in the block, counted from
// the TIFF header. A thumbnail lies between, so a larger new one can't go
// where the old one was.
QByteArray canonBlock(const QByteArray& thumbnail)
{
    TiffBlock t;
    t.u16(4); // IFD0 at 8
    const int make = 8 + 2 + 4 * 12 + 4, exifIfd = make + 6;
    t.entry(0x010F, 2, 6, quint32(make));
    t.entry(0x0110, 2, 4, 0x49585553); // "IXUS", inline
    t.entry(0x0112, 3, 1, 6);
    t.entry(0x8769, 4, 1, quint32(exifIfd));
    const int nextAt = t.size();
    t.u32(0);
    t.bytes += QByteArray("Canon\0", 6);
    const int makerNote = exifIfd + 2 + 3 * 12 + 4, makerSize = 2 + 2 * 12 + 4;
    t.u16(3);
    t.entry(0xA002, 3, 1, 640);
    t.entry(0xA003, 3, 1, 480);
    t.entry(0x927C, 7, quint32(makerSize), quint32(makerNote));
    t.u32(0);
    const int ifd1 = makerNote + makerSize, thumbAt = ifd1 + 2 + 3 * 12 + 4;
    const int owner = thumbAt + int(thumbnail.size()), focal = owner + 32;
    t.u16(2);
    t.entry(0x0009, 2, 32, quint32(owner));
    t.entry(0x0002, 3, 4, quint32(focal));
    t.u32(0);
    t.putAt(nextAt, quint32(ifd1));
    t.u16(3);
    t.entry(0x0103, 3, 1, 6);
    t.entry(0x0201, 4, 1, quint32(thumbAt));
    t.entry(0x0202, 4, 1, quint32(thumbnail.size()));
    t.u32(0);
    t.bytes += thumbnail;
    t.bytes += QByteArray("Tom Rowan and Sarah Clifton").leftJustified(32, '\0');
    for (int v : {0, 346, 197, 147})
        t.u16(v);
    return QByteArray("Exif\0\0", 6) + t.bytes;
}

// A camera file of the corpus, or with none the maker notes above in a
// picture of ours, written by pictavo-fx: as a new file rendered, or turned
// a quarter in place.
class CameraFiles : public ::testing::TestWithParam<Judged> {};

TEST_P(CameraFiles, KeepEveryTagButOrientationDimensionsAndThumbnail)
{
    const Judged j = GetParam();
    QTemporaryDir dir;
    QString original = QStringLiteral(PV_CORPUS_DIR "/camera/") + j.file;
    const QString in = dir.filePath("in.jpg"), out = dir.filePath("out.jpg");
    QStringList owner;
    if (!*j.file) {
        original = dir.filePath("canon.jpg");
        const QByteArray thumbnail = encodeJpeg(testpics::pattern(32, 24, 2), 50, JpegMetadata{false, {}});
        const QByteArray block = canonBlock(thumbnail);
        writeFileAtomically(original,
                            encodeJpeg(testpics::pattern(640, 480, 1), 90, JpegMetadata{false, {{0xE1, block}}}));
        owner = camera::exiftool({"-s3", "-OwnerName", original});
        ASSERT_EQ(owner, QStringList{"Tom Rowan and Sarah Clifton"}) << "exiftool reads the block as a camera's";
    }
    ASSERT_TRUE(QFile::copy(original, in));
    const QStringList args =
        j.render ? QStringList{"render", "--brightness=5", in, out} : QStringList{"rotate", "right", in};
    ASSERT_EQ(fx(args).exitCode, 0);
    const QString written = j.render ? out : in;
    expectKept(original, written);
    if (!owner.isEmpty()) {
        EXPECT_EQ(camera::exiftool({"-s3", "-OwnerName", written}), owner);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Exiftool, CameraFiles, ::testing::Values(
    Judged{"canon-ixus.jpg", false}, Judged{"canon-ixus.jpg", true},
    Judged{"DSCN0010.jpg", false}, Judged{"DSCN0010.jpg", true},
    Judged{"BlueSquare.jpg", false}, Judged{"BlueSquare.jpg", true},
    Judged{"long_description.jpg", false}, Judged{"long_description.jpg", true},
    Judged{"", false}, Judged{"", true}),
    [](const auto& info) {
        QString name = QString::fromLatin1(*info.param.file ? info.param.file : "HandWrittenMakerNotes.jpg");
        name = name.section('.', 0, 0).remove('-').remove('_');
        return name.toStdString() + (info.param.render ? "Render" : "Turn");
    });
// clang-format on

} // namespace
