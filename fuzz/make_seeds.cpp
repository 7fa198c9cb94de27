// Writes small valid inputs for every fuzz target, made by the program's own
// encoders and writers: fuzz_make_seeds <folder> (one subfolder per target).
#include "collection/CollectionFile.h"
#include "core/LittleEndian.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "platform/SystemColors.h"
#include "settings/IniFile.h"
#include "tests/support/KindPictures.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <cstdio>

namespace {

QString g_root;

void put(const QString& target, const QString& name, const QByteArray& bytes)
{
    QDir().mkpath(g_root + QLatin1Char('/') + target);
    QFile file(g_root + QLatin1Char('/') + target + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

Bitmap24 gradient(int w, int h)
{
    Bitmap24 b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            quint8* p = b.scanLine(y) + 3 * x;
            p[0] = quint8(x * 40);
            p[1] = quint8(y * 50);
            p[2] = quint8((x + y) * 20);
        }
    return b;
}

// A bitmap with a 40-byte (or larger) header, the given palette and pixel
// bytes as they are stored.
QByteArray bmp(int w, int h, int bits, quint32 compression, const QList<quint32>& palette,
               const QByteArray& pixels, const QList<quint32>& masks = {})
{
    QByteArray info;
    appendLe32(info, 40);
    appendLe32(info, quint32(w));
    appendLe32(info, quint32(h));
    appendLe16(info, 1);
    appendLe16(info, quint16(bits));
    appendLe32(info, compression);
    appendLe32(info, quint32(pixels.size()));
    appendLe32(info, 2835);
    appendLe32(info, 2835);
    appendLe32(info, quint32(palette.size()));
    appendLe32(info, 0);
    for (quint32 m : masks)
        appendLe32(info, m);
    for (quint32 c : palette)
        appendLe32(info, c);
    QByteArray file("BM");
    appendLe32(file, quint32(14 + info.size() + pixels.size()));
    appendLe32(file, 0);
    appendLe32(file, quint32(14 + info.size()));
    return file + info + pixels;
}

void bmpSeeds()
{
    put("bmp", "rgb24.bmp", encodeBmp24(gradient(5, 3)));
    // 8 bits, palette of 4, rows padded to 4 bytes.
    put("bmp", "pal8.bmp",
        bmp(3, 2, 8, 0, {0x000000, 0xff0000, 0x00ff00, 0x0000ff},
            QByteArray("\x00\x01\x02\x00\x03\x02\x01\x00", 8)));
    // Top-down 4 bits.
    put("bmp", "pal4-topdown.bmp",
        bmp(4, -2, 4, 0, {0x000000, 0xffffff}, QByteArray("\x01\x10\x00\x00\x10\x01\x00\x00", 8)));
    put("bmp", "pal1.bmp",
        bmp(9, 2, 1, 0, {0x000000, 0xffffff}, QByteArray("\xaa\x80\x00\x00\x55\x00\x00\x00", 8)));
    // RLE8: a run, an absolute run, a delta, end of line, end of bitmap.
    put("bmp", "rle8.bmp",
        bmp(6, 3, 8, 1, {0x000000, 0xff0000, 0x00ff00},
            QByteArray("\x04\x01\x00\x03\x02\x01\x02\x00\x00\x00\x02\x01\x01\x00\x00\x06\x02\x00\x01", 19)));
    put("bmp", "rle4.bmp",
        bmp(6, 2, 4, 2, {0x000000, 0xffffff}, QByteArray("\x06\x10\x00\x00\x06\x01\x00\x01", 8)));
    // 16 bits 5-6-5 through bit fields, and 32 bits.
    put("bmp", "bf16.bmp", bmp(2, 1, 16, 3, {}, QByteArray("\x1f\x00\xe0\x07", 4), {0xf800, 0x07e0, 0x001f}));
    put("bmp", "rgb32.bmp", bmp(1, 2, 32, 0, {}, QByteArray("\x10\x20\x30\x00\x40\x50\x60\x00", 8)));
    // An OS/2 core header: 12 bytes, 16-bit sizes, 3-byte palette entries.
    QByteArray core;
    appendLe32(core, 12);
    appendLe16(core, 2);
    appendLe16(core, 1);
    appendLe16(core, 1);
    appendLe16(core, 8);
    core += QByteArray("\x00\x00\x00\xff\xff\xff", 6);
    QByteArray file("BM");
    appendLe32(file, quint32(14 + core.size() + 4));
    appendLe32(file, 0);
    appendLe32(file, quint32(14 + core.size()));
    put("bmp", "core8.bmp", file + core + QByteArray("\x00\x01\x00\x00", 4));
    // 32 bits with an alpha channel, in a version 5 header.
    BmpExtras alpha;
    alpha.alpha = {0, 64, 128, 255, 32, 16};
    alpha.xPixelsPerMetre = 11811;
    put("bmp", "rgba32-v5.bmp", encodeBmp32(gradient(3, 2), alpha));
}

QByteArray icoSeed()
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(qRgba(10, 200, 30, 255));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "ico");
    writer.write(image);
    return buffer.data();
}

void pictureSeeds()
{
    const QByteArray jpeg = encodeJpeg(gradient(17, 9));
    put("jpeg", "small.jpg", jpeg);
    put("jpeg", "tiny.jpg", encodeJpeg(gradient(1, 1)));
    put("jpeg", "q50.jpg", encodeJpeg(gradient(16, 16), 50));
    // fuzz_picture: the first byte picks the extension (0 bmp, 1 jpg, 3 ico).
    put("picture", "bmp", QByteArray(1, '\0') + encodeBmp24(gradient(3, 3)));
    put("picture", "jpg", QByteArray(1, '\1') + jpeg);
    const QByteArray ico = icoSeed();
    if (!ico.isEmpty())
        put("picture", "ico", QByteArray(1, '\3') + ico);
}

// A camera's EXIF block, little-endian: orientation 6 in the first
// directory, pixel sizes in the EXIF directory, and a thumbnail directory
// pointing at a small JPEG.
QByteArray cameraExif()
{
    const QByteArray thumb = encodeJpeg(gradient(8, 8));
    QByteArray t("II*\0\x08\0\0\0", 8);
    auto entry = [&t](quint16 tag, quint16 type, quint32 value) {
        appendLe16(t, tag);
        appendLe16(t, type);
        appendLe32(t, 1);
        appendLe32(t, value);
    };
    // IFD0 at 8 (2 entries), EXIF IFD at 38 (2 entries), IFD1 at 68 (3 entries), thumbnail at 110.
    appendLe16(t, 2);
    entry(0x0112, 3, 6);
    entry(0x8769, 4, 38);
    appendLe32(t, 68);
    appendLe16(t, 2);
    entry(0xA002, 4, 17);
    entry(0xA003, 3, 9);
    appendLe32(t, 0);
    appendLe16(t, 3);
    entry(0x0103, 3, 6);
    entry(0x0201, 4, 110);
    entry(0x0202, 4, quint32(thumb.size()));
    appendLe32(t, 0);
    return QByteArray("Exif\0\0", 6) + t + thumb;
}

// The kinds read through Qt's plugins: fuzz_plugin's first byte picks the
// kind (0 PNG, 1 GIF, 2 WebP, 3 TIFF, 4 icon; 128 up: orientation ignored).
void pluginSeeds()
{
    const QImage q = kinds::quadrants(12, 8);
    QImage tagged = q;
    tagged.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
    tagged.setText(QStringLiteral("Title"), QStringLiteral("seed"));
    tagged.setDotsPerMeterX(3000);
    const QByteArray png = kinds::encoded(tagged, "png");
    put("plugin", "png", QByteArray(1, '\0') + png);
    put("plugin", "png-exif",
        QByteArray(1, '\0') + kinds::withPngChunk(png, "eXIf", kinds::exifBlock(true, 6, true)));
    put("plugin", "png16-ignored",
        QByteArray(1, '\x80') + kinds::encoded(kinds::quadrants(6, 4, QImage::Format_RGBA64), "png"));
    put("plugin", "png-palette",
        QByteArray(1, '\0') + kinds::encoded(kinds::quadrants(6, 4, QImage::Format_Indexed8), "png"));
    // Two frames, the first red with one blue pixel (what ImageMagick wrote).
    put("plugin", "gif",
        QByteArray(1, '\1') +
            QByteArray("\x47\x49\x46\x38\x39\x61\x04\x00\x02\x00\xf1\x00\x00\xff\x00\x00\x00\xff\x00\x00\x00"
                       "\xff\x00\x00"
                       "\x00\x21\xf9\x04\x04\x00\x00\x00\x00\x21\xff\x0b\x4e\x45\x54\x53\x43\x41\x50\x45\x32"
                       "\x2e\x30\x03"
                       "\x01\x00\x00\x00\x2c\x00\x00\x00\x00\x04\x00\x02\x00\x00\x02\x03\x84\x65\x56\x00\x21"
                       "\xf9\x04\x04"
                       "\x00\x00\x00\x00\x2c\x00\x00\x00\x00\x04\x00\x02\x00\x00\x02\x03\x8c\x6f\x05\x00\x3b",
                       93));
    put("plugin", "webp-lossless", QByteArray(1, '\2') + kinds::encoded(q, "webp", 100));
    put("plugin", "webp-exif-icc",
        QByteArray(1, '\2') +
            kinds::webp(q, kinds::exifBlock(false, 8), QColorSpace(QColorSpace::AdobeRgb).iccProfile()));
    put("plugin", "tiff-lzw-turned", QByteArray(1, '\3') + kinds::tiff(tagged, 6));
    put("plugin", "tiff-plain-ignored", QByteArray(1, '\x83') + kinds::tiff(q, 3, false));
    // CMYK and unassociated alpha, as libtiff writes them: rewritten sample by sample.
    kinds::TiffLayout cmyk{3, 2, 8, 4, 5, {}, {}, 300, 150};
    put("plugin", "tiff-cmyk", QByteArray(1, '\3') + kinds::tiffOf(cmyk, QByteArray("\0\x40\x80\xff", 4).repeated(6)));
    kinds::TiffLayout rgba{3, 2, 16, 4, 2, {2}, {}, 72, 72};
    put("plugin", "tiff-rgba16-unassociated", QByteArray(1, '\3') + kinds::tiffOf(rgba, QByteArray(48, '\x21')));
    const QByteArray ico = icoSeed();
    if (!ico.isEmpty())
        put("plugin", "ico", QByteArray(1, '\4') + ico);
}

// fuzz_webp: lossless files, as Qt's writer makes them at quality 100,
// whose palette, predictors and colour cache the pictures call for.
void webpSeeds()
{
    put("webp", "quadrants", kinds::encoded(kinds::quadrants(12, 8), "webp", 100));
    put("webp", "gradient", kinds::encoded(gradient(61, 37).toImage(), "webp", 100));
    QImage fading = gradient(33, 20).toImage().convertToFormat(QImage::Format_ARGB32);
    for (int x = 0; x < fading.width(); ++x)
        fading.setPixel(x, 3, qRgba(10, 200, 30, x * 7));
    put("webp", "alpha", kinds::encoded(fading, "webp", 100));
    put("webp", "palette", kinds::encoded(kinds::quadrants(40, 9, QImage::Format_Indexed8), "webp", 100));
}

// fuzz_heif: the first byte 1 ignores the rotation and mirror properties.
void heifSeeds()
{
    const QImage q = kinds::quadrants(16, 8);
    put("heif", "heic", QByteArray(1, '\0') + kinds::heif(q, false));
    put("heif", "heic-turned-icc-thumbnail",
        QByteArray(1, '\0') + kinds::heif(q, false, 6, QColorSpace(QColorSpace::DisplayP3).iccProfile(), q));
    put("heif", "heic-mirrored-ignored", QByteArray(1, '\1') + kinds::heif(q, false, 2));
    put("heif", "avif", QByteArray(1, '\0') + kinds::heif(q, true, 8));
}

void exifSeeds()
{
    // fuzz_exif: the first byte picks an EXIF block (0) or a whole JPEG (1).
    const QByteArray exif = cameraExif();
    put("exif", "block", QByteArray(1, '\0') + exif);
    const JpegMetadata m{false, {{0xE1, exif}}};
    put("exif", "jpeg-whole-mcus", QByteArray(1, '\1') + encodeJpeg(gradient(16, 32), 90, m));
    put("exif", "jpeg-partial-mcus", QByteArray(1, '\1') + encodeJpeg(gradient(17, 9), 90, m));
}

void textSeeds()
{
    QList<CollectionEntry> entries{{"/home/ann/pictures/a.jpg", "Sea at dawn"},
                                   {"b.bmp", QString::fromUtf8("Grüße aus Köln")},
                                   {"c.jpeg", ""}};
    put("collection", "three.pvx", formatCollection(entries));
    put("collection", "oddities.pvx",
        QByteArray("no caret\r\n\r\nonly^comment\nx.jpg^a^b^\r\nlast^\x1a"
                   "after^eof^"));

    IniFile settings;
    settings.writeString("Settings", "Language", "English");
    settings.writeInteger("SlideShow", "Delay", 3);
    settings.writeBool("SlideShow", "Loop", true);
    settings.writeInteger("Settings", "ColorMain", qint32(syscolor::Window));
    put("ini", "settings.ini", settings.toBytes());
    IniFile language;
    language.writeString("Russian", "1", QString::fromUtf8("Файл"));
    language.writeString("Russian", "2", "\"Open...\"");
    language.writeString("Russian", "40", "  Image: ");
    put("ini", "language.pvl", language.toBytes());
    put("ini", "comments.ini",
        QByteArray("; comment\r\n[settings]\r\n delay = $1F \r\nempty=\r\n[Russian]\r\n5='x'\r\n"));

    const QByteArray sitemap =
        "<HTML><BODY><OBJECT type=\"text/site properties\"><param name=\"ImageType\" "
        "value=\"Folder\"></OBJECT>\n"
        "<UL>\n<LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Welcome\">"
        "<param name=\"Local\" value=\"pages/welcome.htm\"></OBJECT>\n"
        "<UL><LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Keys &amp; mouse\">"
        "<param name=\"Local\" value=\"pages/keys.htm#top\"></OBJECT></UL>\n"
        "<LI> <OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Heading\"></OBJECT>\n"
        "</UL></BODY></HTML>\n";
    put("sitemap", "contents.hhc", sitemap);
    put("sitemap", "latin1.hhk",
        QByteArray("<UL><LI><OBJECT type=\"text/sitemap\"><param name=Name value='Caf\xe9'>"
                   "<param name=Local value=\"ms-its:Help.CHM::/a/../b.htm\"></OBJECT></UL>"));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_seeds <folder>\n");
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);
    bmpSeeds();
    pictureSeeds();
    pluginSeeds();
    webpSeeds();
    heifSeeds();
    exifSeeds();
    textSeeds();
    return 0;
}
