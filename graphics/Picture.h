#pragma once
// One graphic as it was loaded from its file: a JPEG (its file bytes, decoded
// on demand), a 24-bit bitmap, or another kind Qt reads (ICO: its bytes plus
// the decoded image). Copies share the immutable data, so handing a picture
// from a slot to the main image costs nothing.
#include "graphics/Bitmap24.h"
#include "graphics/PictureDamage.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <memory>

// Whether a JPEG's EXIF orientation turns it upright when it is decoded, or
// it shows as stored.
enum class ExifOrientation { Apply, Ignore };

class Picture {
public:
    enum class Kind { Empty, Jpeg, Bitmap, Other };

    Picture() = default;

    // Loads by the lower-case extension after the last '.': ".bmp" bitmap,
    // ".jpg"/".jpeg" JPEG, ".ico" through Qt. Throws AppError with
    // "Cannot open file "%s". %s", "Unknown picture file extension (.%s)",
    // "JPEG error #%d" or a bitmap-format message.
    static Picture loadFromFile(const QString& path, ExifOrientation exif = ExifOrientation::Apply);
    static Picture fromBitmap(Bitmap24 bitmap);
    // Validates the JPEG header (size, components) without a full decode. A
    // malformed EXIF block is ignored: the picture then shows as stored.
    static Picture fromJpegData(const QByteArray& data, ExifOrientation exif = ExifOrientation::Apply);
    // The same JPEG with its orientation applied or not; other kinds as they are.
    Picture withExifOrientation(ExifOrientation exif) const;
    // Another kind Qt decodes (`format` as QImageReader names it, e.g. "ico").
    static Picture fromOtherData(const QByteArray& data, const QByteArray& format);

    Kind kind() const noexcept;
    bool isEmpty() const noexcept { return kind() == Kind::Empty; }
    // The size as shown: a JPEG's upright size when its orientation applies.
    int width() const noexcept;
    int height() const noexcept;
    QSize size() const noexcept { return QSize(width(), height()); }
    // The orientation every decode applies (1..8; 1 for all but JPEGs).
    int orientation() const noexcept;
    ExifOrientation exifOrientation() const noexcept;

    // What is wrong with the file's data as far as the decodes so far found
    // out (a JPEG is known sound only once its data was read to the end).
    PictureDamage knownDamage() const noexcept;
    // What is wrong with it: known, or found now by reading the whole file.
    PictureDamage damage() const;

    // Full 24-bit pixels, upright. For a JPEG this decodes every call
    // (nothing is cached in the shared data, so slots never keep full
    // decodes alive).
    Bitmap24 toBitmap24() const;
    // Full-size image for painting; for a bitmap it shares the pixels.
    QImage toImage() const;
    // A small rendition fitting `box` (keeping the aspect ratio), for
    // thumbnails: JPEGs use libjpeg's scaled decoding (1/2 .. 1/8), and
    // `decoded` gets the scaled decode it was made from.
    QImage thumbnail(QSize box, QImage* decoded = nullptr) const;
    // Upright pixels at least `drawn` large (or full size when the picture
    // is smaller): a JPEG decodes at the smallest libjpeg scale that covers
    // it. Empty when `stop` turned true on the way. `known`, a decode of
    // this picture made before (a thumbnail's), stands in when it is the
    // very decode this would make.
    QImage decodedCovering(QSize drawn, const std::atomic<bool>* stop = nullptr,
                           const QImage& known = QImage()) const;
    // Full-size pixels of `*band` only, which comes back clipped to the
    // picture. Null for turned JPEGs and other kinds, which decode whole.
    QImage decodedBand(QRect* band) const;

    // The held bitmap (Kind::Bitmap only; empty bitmap otherwise).
    const Bitmap24& bitmap() const;
    // The file bytes of a JPEG or other kind (empty for a bitmap).
    QByteArray data() const;

    // The JPEG that replaces this picture's file with `pixels`: quality 90,
    // keeping this JPEG's marker segments (see jpegReplacement): the
    // orientation reset when it was applied, the dimensions those of
    // `pixels`, the EXIF thumbnail made anew from them.
    QByteArray encodeJpegReplacement(const Bitmap24& pixels) const;
    // This JPEG as shown, turned clockwise by `angle` (90 or 270) by moving
    // its DCT blocks, every marker kept, the EXIF and XMP values changed as
    // above and the thumbnail turned too. Empty when the transform can't
    // move the edge blocks whole (see transformJpegLosslessly). Having read
    // the whole file, it knows the picture's damage afterwards.
    QByteArray turnedLosslessly(int angle) const;

    // Writes the picture in the form held: JPEG and other kinds as their
    // bytes, a bitmap as a 24-bit BMP. Atomic: a failure leaves the old file
    // whole and throws "Cannot create file "%s". %s".
    void saveToFile(const QString& path) const;

    // True when both share the same data (a cheap identity test for tests).
    bool sharesDataWith(const Picture& other) const noexcept { return m_d == other.m_d; }

    struct Data;

private:
    explicit Picture(std::shared_ptr<const Data> d) : m_d(std::move(d)) {}
    void rememberDamage(PictureDamage damage) const noexcept;
    std::shared_ptr<const Data> m_d;
};

// The libjpeg scale denominator (1, 2, 4 or 8) a thumbnail of `picture` fitted
// into `box` decodes at: the smallest scale still as large as the thumbnail.
int jpegThumbnailDenom(QSize picture, QSize box);
// The largest denominator (1, 2, 4 or 8) whose scaled size, as libjpeg
// rounds it, still covers `drawn` in both directions.
int jpegDenomCovering(QSize picture, QSize drawn);

// Lower-case extension without the dot, taken after the last '.' of the name.
QString pictureExtension(const QString& path);
