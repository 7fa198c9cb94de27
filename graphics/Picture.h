#pragma once
// One graphic as it was loaded from its file: a JPEG (its file bytes, decoded
// on demand), a 24-bit bitmap, or another kind (PNG, GIF, WebP, TIFF, icons
// through Qt's plugins; HEIC/HEIF and AVIF through libheif: its bytes,
// decoded on demand). Copies share the immutable data, so handing a picture
// from a slot to the main image costs nothing.
#include "core/LoaderRequest.h"
#include "graphics/Bitmap24.h"
#include "graphics/BmpCodec.h"
#include "graphics/JpegCodec.h"
#include "graphics/PictureDamage.h"
#include "graphics/PictureFormat.h"

#include <QByteArray>
#include <QColorSpace>
#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <memory>

// Whether a picture's orientation (EXIF's, HEIF's rotation and mirror)
// turns it upright when it is decoded, or it shows as stored.
enum class ExifOrientation { Apply, Ignore };

class UniqueFd;

class Picture {
public:
    enum class Kind { Empty, Jpeg, Bitmap, Other };

    Picture() = default;

    // Loads by the file's content (by its name where the bytes are no kind
    // at all; see pictureFormatOfFile). Throws AppError with "Cannot open
    // file "%s". %s" or "Unknown picture file extension (.%s)", or a
    // PictureError naming the file and what is wrong with it.
    static Picture loadFromFile(const QString& path, ExifOrientation exif = ExifOrientation::Apply);
    // The same for bytes already read; `name` (a path) goes into messages,
    // those of later decodes too.
    // Its facts come from a loader (see PictureLoaders), which decodes it
    // later too: nothing of `data` is parsed in this process.
    static Picture fromData(const QByteArray& data, PictureFormat format,
                            ExifOrientation exif = ExifOrientation::Apply, const QString& name = QString());
    // The same, parsed and decoded in this process: for the loader itself
    // and the fuzz targets only.
    static Picture readHere(const QByteArray& data, PictureFormat format,
                            ExifOrientation exif = ExifOrientation::Apply, const QString& name = QString());
    // The same over `mapped`, a mapping of the file behind `fd`, which must
    // stay open while the picture is used: a decode that reads a giant
    // file once through reads it from `fd` a part at a time, so that the
    // mapping's pages do not all become resident.
    static Picture readHereOverMapping(const QByteArray& mapped, int fd, PictureFormat format, ExifOrientation exif,
                                       const QString& name);
    // A JPEG read here from the `size` bytes behind `fd`, which must stay
    // open while the picture is used: only its head is held, every decode
    // streams the file (for a loader's decodes, which then need no copy).
    static Picture jpegOverFile(int fd, qint64 size, ExifOrientation exif, const QString& name);
    static Picture fromBitmap(Bitmap24 bitmap, BmpExtras extras = {}, const QString& name = QString());
    // Validates the JPEG header (size, components) without a full decode. A
    // malformed EXIF block is ignored: the picture then shows as stored.
    static Picture fromJpegData(const QByteArray& data, ExifOrientation exif = ExifOrientation::Apply,
                                const QString& name = QString());
    // The same picture with its orientation applied or not; bitmaps as they are.
    Picture withExifOrientation(ExifOrientation exif) const;
    // Another kind (PNG, GIF, WebP, TIFF, icon, HEIF, AVIF): reads what it
    // needs of the header; the pixels are decoded on demand.
    static Picture fromOtherData(const QByteArray& data, PictureFormat format,
                                 ExifOrientation exif = ExifOrientation::Apply,
                                 const QString& name = QString());

    Kind kind() const noexcept;
    // What the file holds (Unknown for a bitmap made in memory).
    PictureFormat format() const noexcept;
    bool isEmpty() const noexcept { return kind() == Kind::Empty; }
    // The size as shown: a JPEG's upright size when its orientation applies.
    int width() const noexcept;
    int height() const noexcept;
    QSize size() const noexcept { return QSize(width(), height()); }
    // The EXIF orientation every decode applies (1..8); 1 for HEIF, whose
    // rotation and mirror libheif applies, and for bitmaps.
    int orientation() const noexcept;
    ExifOrientation exifOrientation() const noexcept;
    // The colour space of the stored values (invalid: sRGB), and the ICC
    // profile that says so (the file's own where there is one).
    QColorSpace colorSpace() const;
    QByteArray iccProfile() const;

    // What is wrong with the file's data as far as the decodes so far found
    // out (a JPEG is known sound only once its data was read to the end).
    PictureDamage knownDamage() const noexcept;
    // Whether a reading reached the file's end (or its structure told).
    bool damageKnown() const noexcept;
    // What is wrong with it: known, or found now by reading the whole file.
    PictureDamage damage() const;

    // Full 24-bit pixels, upright, with transparent parts over white (a
    // bitmap's colours as stored: its alpha is kept apart). This decodes
    // every call (nothing is cached in the shared data, so slots never keep
    // full decodes alive).
    Bitmap24 toBitmap24() const;
    // Full-size stored values, upright, alpha and 16 bits kept; for a
    // bitmap it shares the pixels.
    QImage toImage() const;

    // What is drawn on screen where the viewer converts colours (see
    // DisplayColors); the decodes below come so when `displayColors` asks.
    QImage inDisplayColors(QImage stored) const;
    // A small rendition fitting `box` (keeping the aspect ratio), for
    // thumbnails: JPEGs use libjpeg's scaled decoding (1/2 .. 1/8); HEIF
    // uses its embedded thumbnail when that is large enough.
    QImage thumbnail(QSize box, bool displayColors) const;
    // The same in stored values, for work on the pixels.
    QImage reducedTo(QSize box) const;
    // Upright pixels at least `drawn` large (or full size when the picture
    // is smaller): a JPEG decodes at the smallest libjpeg scale that covers
    // it, other kinds are reduced once decoded. Empty when `stop` turned
    // true on the way.
    QImage decodedCovering(QSize drawn, bool displayColors, const std::atomic<bool>* stop = nullptr) const;
    // The pixels of `*band` only, in the upright picture scaled by
    // 1/scaleDenom as libjpeg scales (1, 2, 4 or 8; other kinds average
    // blocks, see PictureBands.h); the band comes back clipped to it. Null
    // for kinds without decodesBands(), which decode whole.
    QImage decodedBand(QRect* band, bool displayColors, int scaleDenom = 1) const;
    // Whether a band decodes without the whole frame: JPEG, PNG, WebP, TIFF.
    bool decodesBands() const noexcept;
    // Whether decodedCovering() of a size under half its own averages whole
    // blocks and leaves them unscaled: a PNG's always, a HEIF's or AVIF's
    // where it is opaque (which only its decode tells).
    bool reducesByBlocks() const noexcept;

    // How many pages the file holds (a TIFF's directories); only the first
    // shows. 1 for every other kind.
    int pageCount() const;

    // The held bitmap (Kind::Bitmap only; empty bitmap otherwise), and
    // what its file held besides: an alpha channel, its resolution.
    const Bitmap24& bitmap() const;
    const BmpExtras& bitmapExtras() const;
    // The file the picture was read from, as messages name it (may be empty).
    QString fileName() const;
    // The file bytes of a JPEG or other kind (empty for a bitmap). Read
    // anew from the loaders' sealed copy on each call where the picture is
    // read by a loader: the viewer holds no copy of a file's bytes.
    QByteArray data() const;
    // Their number, without reading them.
    qint64 byteCount() const;

    // The JPEG that replaces this picture's file with `pixels`: quality 90,
    // in this JPEG's colour space and sampling factors (CMYK inks keep their
    // black where the new colours allow), keeping its marker segments (see
    // jpegReplacement): the orientation reset when it was applied, the
    // dimensions those of `pixels`, the EXIF thumbnail made anew from them.
    QByteArray encodeJpegReplacement(const Bitmap24& pixels) const;
    // This JPEG as shown, turned clockwise by `angle` (90 or 270) by moving
    // its DCT blocks, every marker kept, the EXIF and XMP values changed as
    // above and the thumbnail turned too. Empty when the transform can't
    // move the edge blocks whole (see transformJpegLosslessly). Having read
    // the whole file, it knows the picture's damage afterwards.
    QByteArray turnedLosslessly(int angle) const;
    // The same by decoding and coding again at quality 90, for a picture
    // whose edge blocks the transform can't move whole: the samples turned
    // in the file's own colour space (grey, RGB or CMYK inks) and coded with
    // its sampling factors; the metadata as above. Empty for a damaged
    // JPEG, whose damage it then knows.
    QByteArray turnedReencoded(int angle) const;

    // Whether this picture's bytes are parsed here (a bitmap made in memory,
    // a picture of readHere) rather than by a loader.
    bool readsHere() const noexcept;
    // Read by a loader: whether it found the file writable in its own kind
    // (one frame, one page). Meaningless for a picture read here.
    bool toldRewritable() const noexcept;
    // Read by a loader: whether its header showed a single frame where the
    // kind may animate (WebP, JPEG XL).
    bool toldOneFrame() const noexcept;
    // The bytes a loader makes for a write of this picture's file (read
    // by a loader): `pixels` (as shown) for WithPixels and NewPng. The
    // loader walks the file; this process commits what comes back. Throws
    // AppError with the loader's text.
    QByteArray rewrittenByLoader(RewriteKind kind, int angle, const Bitmap24* pixels = nullptr,
                                 QSize size = QSize()) const;
    // The same for bytes this process made (`name` for messages).
    static QByteArray rewrittenByLoader(const QByteArray& bytes, const QString& name, RewriteKind kind,
                                        const Bitmap24* pixels);

    // Writes the picture in the form held: JPEG and other kinds as their
    // bytes, a bitmap as a BMP of 24 bits (32 with its alpha). Atomic: a failure leaves the old file
    // whole and throws "Cannot create file "%s". %s".
    void saveToFile(const QString& path) const;

    // The sealed copy of the file's bytes that loaders read; null for a
    // picture read in this process or made in memory.
    std::shared_ptr<const UniqueFd> loaderSource() const;

    // True when both share the same data (a cheap identity test for tests).
    bool sharesDataWith(const Picture& other) const noexcept { return m_d == other.m_d; }

    struct Data;

private:
    explicit Picture(std::shared_ptr<const Data> d) : m_d(std::move(d)) {}
    static Picture jpegHere(const QByteArray& data, ExifOrientation exif, const QString& name);
    static Picture otherHere(const QByteArray& data, PictureFormat format, ExifOrientation exif,
                             const QString& name);
    static Picture throughLoaders(const QByteArray& data, PictureFormat format, ExifOrientation exif,
                                  const QString& name);
    static Picture throughLoaders(std::shared_ptr<const UniqueFd> source, qint64 size, PictureFormat format,
                                  ExifOrientation exif, const QString& name);
    Bitmap24 jpegDecode(int denom, const std::atomic<bool>* stop, PictureDamage* damage) const;
    // Pixels of this picture decoded by a loader as `shape` says; a band
    // comes back clipped in `*region`.
    QImage asked(int shape, QSize size, QRect* region = nullptr, bool displayColors = false) const;
    QImage drawn(QImage stored, bool displayColors) const
    {
        return displayColors ? inDisplayColors(std::move(stored)) : stored;
    }
    void rememberDamage(PictureDamage damage) const noexcept;
    QImage jpegThumbnailDecode(QSize box) const;
    // Another kind's whole decode, its damage remembered.
    QImage decodeOtherNoting() const;
    QImage bitmapWithAlpha() const;
    // Another kind's stored values, reduced to cover `drawn` where larger.
    QImage otherCovering(QSize drawn, const std::atomic<bool>* stop) const;
    // Another kind's band in its stored layout (see decodedBand), or null.
    QImage otherBand(QRect* part, int denom) const;
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
