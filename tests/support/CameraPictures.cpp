#include "tests/support/CameraPictures.h"

#include "core/AtomicFile.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegSegments.h"
#include "tests/support/KindPictures.h"

#include <QColorSpace>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cstring>

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

namespace camera {
namespace {

const ExifByteOrder Order = EXIF_BYTE_ORDER_INTEL;

ExifEntry* addEntry(ExifData* ed, ExifMem* mem, ExifIfd ifd, ExifTag tag, ExifFormat format, unsigned count)
{
    ExifEntry* e = exif_entry_new_mem(mem);
    e->tag = tag;
    e->format = format;
    e->components = count;
    e->size = exif_format_get_size(format) * count;
    e->data = static_cast<unsigned char*>(exif_mem_alloc(mem, e->size));
    exif_content_add_entry(ed->ifd[ifd], e);
    exif_entry_unref(e);
    return e;
}

void addText(ExifData* ed, ExifMem* mem, ExifIfd ifd, ExifTag tag, const QString& text)
{
    const QByteArray b = text.toLatin1();
    std::memcpy(addEntry(ed, mem, ifd, tag, EXIF_FORMAT_ASCII, unsigned(b.size() + 1))->data, b.constData(),
                std::size_t(b.size()));
}

QString textOf(ExifData* ed, ExifIfd ifd, ExifTag tag)
{
    const ExifEntry* e = exif_content_get_entry(ed->ifd[ifd], tag);
    return e && e->data ? QString::fromLatin1(reinterpret_cast<const char*>(e->data),
                                              qstrnlen(reinterpret_cast<const char*>(e->data), e->size))
                        : QString();
}

int numberOf(ExifData* ed, ExifIfd ifd, ExifTag tag)
{
    const ExifEntry* e = exif_content_get_entry(ed->ifd[ifd], tag);
    if (!e || !e->data)
        return 0;
    const ExifByteOrder o = exif_data_get_byte_order(ed);
    return e->format == EXIF_FORMAT_SHORT ? exif_get_short(e->data, o) : int(exif_get_long(e->data, o));
}

// The sRGB profile, in its APP2 chunk.
QByteArray iccChunk()
{
    return QByteArray("ICC_PROFILE", 12) + char(1) + char(1) + QColorSpace(QColorSpace::SRgb).iccProfile();
}

} // namespace

QByteArray exifBlock(QSize stored, int orientation)
{
    ExifMem* mem = exif_mem_new_default();
    ExifData* ed = exif_data_new_mem(mem);
    exif_data_set_byte_order(ed, Order);
    addText(ed, mem, EXIF_IFD_0, EXIF_TAG_MAKE, Make);
    addText(ed, mem, EXIF_IFD_0, EXIF_TAG_MODEL, Model);
    exif_set_short(addEntry(ed, mem, EXIF_IFD_0, EXIF_TAG_ORIENTATION, EXIF_FORMAT_SHORT, 1)->data, Order,
                   ExifShort(orientation));
    addText(ed, mem, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, Taken);
    // One dimension of each width, as cameras write both.
    exif_set_long(addEntry(ed, mem, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, EXIF_FORMAT_LONG, 1)->data,
                  Order, ExifLong(stored.width()));
    exif_set_short(addEntry(ed, mem, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, EXIF_FORMAT_SHORT, 1)->data,
                   Order, ExifShort(stored.height()));
    exif_set_short(addEntry(ed, mem, EXIF_IFD_1, EXIF_TAG_COMPRESSION, EXIF_FORMAT_SHORT, 1)->data, Order, 6);
    const QByteArray thumb = encodeJpeg(Bitmap24::fromImage(kinds::quadrants(16, 8)));
    ed->data = static_cast<unsigned char*>(exif_mem_alloc(mem, ExifLong(thumb.size())));
    ed->size = unsigned(thumb.size());
    std::memcpy(ed->data, thumb.constData(), std::size_t(thumb.size()));

    unsigned char* saved = nullptr;
    unsigned int size = 0;
    exif_data_save_data(ed, &saved, &size);
    const QByteArray block(reinterpret_cast<const char*>(saved), qsizetype(size));
    exif_mem_free(mem, saved);
    exif_data_unref(ed);
    exif_mem_unref(mem);
    return block;
}

QByteArray cameraJpeg(const Bitmap24& stored, int orientation)
{
    const JpegMetadata m{
        false, {{0xE1, exifBlock(QSize(stored.width(), stored.height()), orientation)}, {0xE2, iccChunk()}}};
    return encodeJpeg(stored, 95, m);
}

Tags readTags(const QString& path)
{
    const QList<JpegSegment> segments = readJpegSegments(readWholeFile(path));
    const QByteArray icc = segmentPayload(segments, 0xE2, "ICC_PROFILE");
    const QByteArray exif = segmentPayload(segments, 0xE1, QByteArrayView("Exif\0\0", 6));
    Tags t;
    t.rgbProfile = icc.mid(14 + 16, 4) == "RGB ";
    if (exif.isEmpty())
        return t;
    ExifData* ed = exif_data_new_from_data(reinterpret_cast<const unsigned char*>(exif.constData()),
                                           unsigned(exif.size()));
    t.orientation = numberOf(ed, EXIF_IFD_0, EXIF_TAG_ORIENTATION);
    t.make = textOf(ed, EXIF_IFD_0, EXIF_TAG_MAKE);
    t.model = textOf(ed, EXIF_IFD_0, EXIF_TAG_MODEL);
    t.taken = textOf(ed, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL);
    t.width = numberOf(ed, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION);
    t.height = numberOf(ed, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION);
    t.thumbnail = ed->data && ed->size > 0;
    exif_data_unref(ed);
    return t;
}

QByteArray exiftoolOutput(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("exiftool"), args);
    if (!p.waitForFinished(60000))
        return "timed out";
    return p.readAllStandardOutput() + p.readAllStandardError();
}

QStringList exiftool(const QStringList& args)
{
    return QString::fromUtf8(exiftoolOutput(args)).split('\n', Qt::SkipEmptyParts);
}

Tags exiftoolTags(const QString& path)
{
    const QStringList out =
        exiftool({"-j", "-n", "-Orientation", "-Make", "-Model", "-DateTimeOriginal", "-ExifImageWidth",
                  "-ExifImageHeight", "-ThumbnailLength", "-ICC_Profile:ColorSpaceData", path});
    const QJsonObject o = QJsonDocument::fromJson(out.join('\n').toUtf8()).array().at(0).toObject();
    Tags t;
    t.orientation = o.value("Orientation").toInt();
    t.make = o.value("Make").toString();
    t.model = o.value("Model").toString();
    t.taken = o.value("DateTimeOriginal").toString();
    t.width = o.value("ExifImageWidth").toInt();
    t.height = o.value("ExifImageHeight").toInt();
    t.thumbnail = o.contains("ThumbnailLength");
    t.rgbProfile = o.value("ColorSpaceData").toString() == "RGB ";
    return t;
}

} // namespace camera
