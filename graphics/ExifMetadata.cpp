#include "graphics/ExifMetadata.h"

#include "graphics/Orientation.h"

#include <cstring>
#include <memory>

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

namespace {

constexpr char ExifHeader[6] = {'E', 'x', 'i', 'f', '\0', '\0'};
// The most an APP1 segment holds after its two length bytes.
constexpr qsizetype MaxSegmentPayload = 65533;

// libexif data with the allocator it was made with, which the thumbnail
// and saved blocks must be freed through.
struct Exif {
    ExifMem* mem = exif_mem_new_default();
    ExifData* data = mem ? exif_data_new_mem(mem) : nullptr;

    Exif() = default;
    Exif(const Exif&) = delete;
    Exif& operator=(const Exif&) = delete;
    ~Exif()
    {
        if (data)
            exif_data_unref(data);
        if (mem)
            exif_mem_unref(mem);
    }

    bool load(const QByteArray& block)
    {
        if (!data || block.size() < 6 || block.size() > MaxSegmentPayload ||
            std::memcmp(block.constData(), ExifHeader, 6) != 0)
            return false;
        // Keep what we don't know and add nothing: the block is the user's.
        exif_data_unset_option(data, EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
        exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
        exif_data_set_option(data, EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
        exif_data_load_data(data, reinterpret_cast<const unsigned char*>(block.constData()),
                            static_cast<unsigned int>(block.size()));
        for (ExifContent* ifd : data->ifd) {
            if (ifd && ifd->count > 0)
                return true;
        }
        return false;
    }

    ExifEntry* entry(ExifIfd ifd, ExifTag tag) const { return exif_content_get_entry(data->ifd[ifd], tag); }
    ExifByteOrder order() const { return exif_data_get_byte_order(data); }
};

bool holdsShort(const ExifEntry* e)
{
    return e->format == EXIF_FORMAT_SHORT && e->components >= 1 && e->data && e->size >= 2;
}

bool holdsLong(const ExifEntry* e)
{
    return e->format == EXIF_FORMAT_LONG && e->components >= 1 && e->data && e->size >= 4;
}

// Sets a width or height tag, or removes one that can't hold the value.
void setDimension(Exif& x, ExifIfd ifd, ExifTag tag, int value)
{
    ExifEntry* e = x.entry(ifd, tag);
    if (!e)
        return;
    if (holdsShort(e) && value <= 0xFFFF)
        exif_set_short(e->data, x.order(), ExifShort(value));
    else if (holdsLong(e))
        exif_set_long(e->data, x.order(), ExifLong(value));
    else
        exif_content_remove_entry(x.data->ifd[ifd], e);
}

} // namespace

int exifOrientation(const QByteArray& exif)
{
    Exif x;
    if (!x.load(exif))
        return 1;
    const ExifEntry* e = x.entry(EXIF_IFD_0, EXIF_TAG_ORIENTATION);
    if (!e || !holdsShort(e))
        return 1;
    const int value = exif_get_short(e->data, x.order());
    return isOrientation(value) ? value : 1;
}

QByteArray rewriteExif(const QByteArray& exif, QSize size, bool resetOrientation)
{
    Exif x;
    if (!x.load(exif))
        return QByteArray();
    if (resetOrientation) {
        if (ExifEntry* e = x.entry(EXIF_IFD_0, EXIF_TAG_ORIENTATION)) {
            if (holdsShort(e))
                exif_set_short(e->data, x.order(), 1);
            else
                exif_content_remove_entry(x.data->ifd[EXIF_IFD_0], e);
        }
    }
    setDimension(x, EXIF_IFD_0, EXIF_TAG_IMAGE_WIDTH, size.width());
    setDimension(x, EXIF_IFD_0, EXIF_TAG_IMAGE_LENGTH, size.height());
    setDimension(x, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, size.width());
    setDimension(x, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, size.height());

    // The thumbnail and the directory that describes it.
    if (x.data->data) {
        exif_mem_free(x.mem, x.data->data);
        x.data->data = nullptr;
        x.data->size = 0;
    }
    ExifContent* ifd1 = x.data->ifd[EXIF_IFD_1];
    while (ifd1->count > 0)
        exif_content_remove_entry(ifd1, ifd1->entries[0]);

    unsigned char* saved = nullptr;
    unsigned int savedSize = 0;
    exif_data_save_data(x.data, &saved, &savedSize);
    QByteArray result;
    if (saved && savedSize > 0 && savedSize <= unsigned(MaxSegmentPayload))
        result = QByteArray(reinterpret_cast<const char*>(saved), qsizetype(savedSize));
    exif_mem_free(x.mem, saved);
    return result;
}
