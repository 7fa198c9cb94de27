#include "effects/PictureWrite.h"

#include "core/AtomicFile.h"
#include "core/Errors.h"
#include "core/FileNames.h"
#include "core/JobRunner.h"
#include "effects/EffectRenderer.h"
#include "effects/Rotate.h"
#include "effects/StreamedTone.h"
#include "graphics/BmpStream.h"
#include "graphics/JpegCodec.h"
#include "graphics/Orientation.h"
#include "graphics/PictureError.h"
#include "graphics/PictureRewrite.h"
#include "graphics/SampleRaster.h"

#include <QFile>

#include <cstring>

#include <atomic>
#include <exception>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {
constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr int kJpegQuality = 90;

Picture writeJpeg(const QString& path, const QByteArray& bytes, ExifOrientation exif)
{
    writeFileAtomically(path, bytes);
    return Picture::fromJpegData(bytes, exif, path);
}

// A rewrite that finds the file damaged refuses it as every write does.
template <typename F> QByteArray refusingDamage(const QString& path, F&& make)
{
    try {
        return make();
    } catch (const PictureError& e) {
        if (e.problem() == PictureError::Problem::Damaged)
            throw AppError(msg::pictureDamaged(path, e.detail()));
        throw e.about(path);
    }
}

Picture writeJpeg(const QString& path, const Bitmap24& bitmap, const Picture& source)
{
    return writeJpeg(path, refusingDamage(path, [&] { return source.encodeJpegReplacement(bitmap); }),
                     source.exifOrientation());
}

// PNG and TIFF: the file's own kind, its metadata kept.
Picture writeRewritten(const QString& path, const QByteArray& bytes, const Picture& source)
{
    writeFileAtomically(path, bytes);
    return Picture::fromData(bytes, pictureFormatOf(bytes), source.exifOrientation(), path);
}

// Nothing is written where the rewrite would lose what the file holds
// (an animation, further pages).
Picture writeLossless(const QString& path, PictureFileKind kind, const Bitmap24& rendered,
                      const Picture& source)
{
    const PictureFormat own = kind == PictureFileKind::Png ? PictureFormat::Png : PictureFormat::Tiff;
    if (source.format() != own || !pictureRewritable(source))
        return Picture();
    return writeRewritten(path, refusingDamage(path, [&] { return pictureFileWithPixels(source, rendered); }),
                          source);
}

PictureFileKind kindOfFormat(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Bitmap:
        return PictureFileKind::Bitmap;
    case PictureFormat::Jpeg:
        return PictureFileKind::Jpeg;
    case PictureFormat::Png:
        return PictureFileKind::Png;
    case PictureFormat::Tiff:
        return PictureFileKind::Tiff;
    default:
        return PictureFileKind::Other;
    }
}

// A bitmap keeps its file's resolution, and its alpha channel where the
// size is the same.
Picture writeBitmap(const QString& path, Bitmap24 bitmap, BmpExtras extras)
{
    if (bitmap.isEmpty())
        Picture().saveToFile(path); // refuses, as for any empty picture
    if (extras.alpha.size() != std::size_t(bitmap.width()) * std::size_t(bitmap.height()))
        extras.alpha.clear();
    if (extras.alpha.empty())
        writeBmp24File(path, bitmap, extras);
    else
        writeFileAtomically(path, encodeBmp32(bitmap, extras));
    return Picture::fromBitmap(std::move(bitmap), std::move(extras));
}

// A bitmap picture turned: its colours, its alpha channel and its resolution.
Picture writeTurnedBitmap(const QString& path, const Picture& picture, int angle)
{
    Bitmap24 bitmap = picture.bitmap();
    RotateBitmap(bitmap, angle, kWhite);
    BmpExtras extras = picture.bitmapExtras();
    if (((angle / 90) % 2) != 0)
        std::swap(extras.xPixelsPerMetre, extras.yPixelsPerMetre);
    if (!extras.alpha.empty()) {
        SampleRaster alpha(picture.width(), picture.height(), 8);
        for (int y = 0; y < alpha.height(); ++y)
            std::memcpy(alpha.row(y), extras.alpha.data() + std::size_t(y) * std::size_t(alpha.width()),
                        std::size_t(alpha.width()));
        const SampleRaster turned = alpha.oriented(turnedOrientation(1, angle));
        extras.alpha.resize(std::size_t(turned.width()) * std::size_t(turned.height()));
        for (int y = 0; y < turned.height(); ++y)
            std::memcpy(extras.alpha.data() + std::size_t(y) * std::size_t(turned.width()), turned.row(y),
                        std::size_t(turned.width()));
    }
    return writeBitmap(path, std::move(bitmap), std::move(extras));
}

} // namespace

void refuseDamaged(const Picture& source, const QString& path)
{
    const PictureDamage damage = source.damage();
    if (damage != PictureDamage::None)
        throw AppError(msg::pictureDamaged(path, damageReason(damage)));
}

PictureFileKind pictureFileKindOfName(const QString& path)
{
    const QString ext = pictureExtension(path);
    if (ext == QLatin1String("bmp"))
        return PictureFileKind::Bitmap;
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg"))
        return PictureFileKind::Jpeg;
    if (ext == QLatin1String("png"))
        return PictureFileKind::Png;
    if (ext == QLatin1String("tif") || ext == QLatin1String("tiff"))
        return PictureFileKind::Tiff;
    return PictureFileKind::Other;
}

PictureFileKind pictureFileKind(const QString& path)
{
    PictureFormat format = PictureFormat::Unknown;
    try {
        format = pictureFormatOfFile(path);
    } catch (const AppError&) {
        return pictureFileKindOfName(path);
    }
    return kindOfFormat(format);
}

Picture writeRenderedPicture(const QString& path, const Bitmap24& rendered, const Picture& source)
{
    refuseDamaged(source, path);
    const PictureFileKind kind = pictureFileKind(path);
    switch (kind) {
    case PictureFileKind::Bitmap:
        return writeBitmap(path, rendered, source.bitmapExtras());
    case PictureFileKind::Jpeg:
        return writeJpeg(path, rendered, source);
    case PictureFileKind::Png:
    case PictureFileKind::Tiff:
        return writeLossless(path, kind, rendered, source);
    case PictureFileKind::Other:
        break;
    }
    return Picture();
}

Picture pictureForFile(const Picture& picture, const QString& path)
{
    switch (pictureFileKind(path)) {
    case PictureFileKind::Bitmap:
        if (picture.kind() == Picture::Kind::Bitmap)
            return picture;
        return Picture::fromBitmap(picture.toBitmap24());
    case PictureFileKind::Jpeg:
        if (picture.kind() == Picture::Kind::Jpeg)
            return picture;
        return Picture::fromJpegData(encodeJpeg(picture.toBitmap24(), kJpegQuality));
    case PictureFileKind::Png:
    case PictureFileKind::Tiff:
    case PictureFileKind::Other:
        break;
    }
    return picture;
}

Picture rotatePictureFile(const Picture& picture, const QString& path, int angle)
{
    const PictureFileKind kind = pictureFileKind(path);
    if (kind == PictureFileKind::Other || !pictureRewritable(picture))
        throw AppError(msg::kindNotChanged(path));
    // Damage its structure told at loading goes before what the layout says.
    if (picture.knownDamage() != PictureDamage::None)
        refuseDamaged(picture, path);
    if (kind == PictureFileKind::Png || kind == PictureFileKind::Tiff)
        return writeRewritten(path, refusingDamage(path, [&] { return turnedPictureFile(picture, angle); }), picture);
    if (kind == PictureFileKind::Jpeg && picture.kind() == Picture::Kind::Jpeg) {
        // The transform reads the whole file, and so learns of its damage;
        // so does the decode where the blocks can't move whole.
        const QByteArray turned = refusingDamage(path, [&] { return turnedPictureFile(picture, angle); });
        refuseDamaged(picture, path);
        return writeJpeg(path, turned, picture.exifOrientation());
    }
    refuseDamaged(picture, path);
    if (kind == PictureFileKind::Bitmap && picture.kind() == Picture::Kind::Bitmap)
        return writeTurnedBitmap(path, picture, angle);
    Bitmap24 bitmap = picture.toBitmap24();
    RotateBitmap(bitmap, angle, kWhite);
    return kind == PictureFileKind::Bitmap ? writeBitmap(path, std::move(bitmap), {})
                                           : writeJpeg(path, bitmap, picture);
}

Picture applyEffectsToFile(EffectRenderer& engine, const QString& path, ExifOrientation exif)
{
    const Picture source = Picture::loadFromFile(path, exif);
    engine.setPictureOriginal(source);
    return writeRenderedPicture(path, engine.rendered(), source);
}

namespace {

// Which files of the run may replace their content: every one up to a
// number the run raises as it goes, or none once the run is abandoned.
class CommitTurns {
public:
    struct Abandoned {};
    // Blocks until file k may be written; throws Abandoned if it never will.
    void waitFor(int k) const
    {
        for (int allowed = m_allowed; allowed != kAbandoned; allowed = m_allowed) {
            if (allowed >= k)
                return;
            m_allowed.wait(allowed);
        }
        throw Abandoned{};
    }
    void allow(int k) { set(k); }
    void abandon() { set(kAbandoned); }

private:
    void set(int allowed)
    {
        m_allowed = allowed;
        m_allowed.notify_all();
    }
    static constexpr int kAbandoned = -1;
    std::atomic<int> m_allowed{0};
};

// A file's job hands back the noise sequence after it, or none when the file
// is not streamed; or its failure.
struct StreamOutcome {
    std::optional<NoiseGenerator> randomAfter;
    std::exception_ptr error;
};

// Which entries name the same file, through any path or link: each entry's
// device and inode as the run starts (a write that replaces a file gives it
// a new inode, so they can't be asked later). Entries that can't be looked
// at count as files of their own.
std::vector<std::pair<dev_t, ino_t>> fileIdentities(const QStringList& files)
{
    std::vector<std::pair<dev_t, ino_t>> ids;
    ino_t unknown = 0;
    for (const QString& f : files) {
        struct stat st {};
        if (::stat(nativeFileName(f).constData(), &st) == 0)
            ids.emplace_back(st.st_dev, st.st_ino);
        else
            ids.emplace_back(dev_t(-1), --unknown);
    }
    return ids;
}

int applyEffectsToFilesOneByOne(EffectRenderer& engine, const QStringList& files, ExifOrientation exif,
                                const ApplyProgress& progress)
{
    const int total = int(files.size());
    for (int k = 1; k <= total; ++k) {
        const QString& file = files[k - 1];
        if (progress.before && !progress.before(k, total, file))
            return k - 1;
        applyEffectsToFile(engine, file, exif);
        if (progress.after)
            progress.after(k, total, file);
    }
    return total;
}

} // namespace

int applyEffectsToFiles(EffectRenderer& engine, const QStringList& files, ExifOrientation exif,
                        const ApplyProgress& progress)
{
    const EffectValues values = engine.values();
    if (!tonePipelineStreams(values))
        return applyEffectsToFilesOneByOne(engine, files, exif, progress);
    // Two files at a time, the second started ahead and written only once
    // the first is; one at a time while noise is drawn, whose numbers run
    // on from file to file.
    const int total = int(files.size());
    bool noise = false;
    for (const EffectInfo& info : kEffectTable)
        noise = noise || (info.step == EffectStep::Noise && values[std::size_t(info.effect)] > 0);
    const auto ids = fileIdentities(files);
    std::vector<StreamOutcome> outcomes(std::size_t(total) + 1);
    std::vector<JobRunner::Ticket> tickets(std::size_t(total) + 1, 0);
    CommitTurns turns;
    JobRunner workers(2);
    // Before the runner waits for its jobs, those held back are let go.
    const struct Abandon {
        CommitTurns& turns;
        ~Abandon() { turns.abandon(); }
    } abandonLeftovers{turns};
    auto start = [&](int k) {
        StreamOutcome& outcome = outcomes[std::size_t(k)];
        const auto work =
            [&file = files[k - 1], &turns, &outcome, k, values, exif,
             random = engine.noiseGenerator()](const JobRunner::StopFlag&) mutable -> JobRunner::Delivery {
            const bool streamed =
                renderFileStreamed(file, file, values, exif, random, [&turns, k] { turns.waitFor(k); });
            const auto after = streamed ? std::optional<NoiseGenerator>(random) : std::nullopt;
            return [&outcome, after] { outcome.randomAfter = after; };
        };
        tickets[std::size_t(k)] =
            workers.submit(work, [&outcome](std::exception_ptr e) { outcome.error = e; });
    };
    int done = 0;
    for (int k = 1; k <= total; ++k) {
        const QString& file = files[k - 1];
        if (!tickets[std::size_t(k)])
            start(k);
        if (progress.before && !progress.before(k, total, file))
            break;
        turns.allow(k);
        // The next file is read ahead only when it isn't the one this file
        // writes: else it waits to read what this one leaves.
        if (!noise && k < total && ids[std::size_t(k)] != ids[std::size_t(k - 1)])
            start(k + 1);
        workers.waitFor(tickets[std::size_t(k)]);
        const StreamOutcome& outcome = outcomes[std::size_t(k)];
        if (outcome.error)
            std::rethrow_exception(outcome.error);
        if (outcome.randomAfter)
            engine.noiseGenerator() = *outcome.randomAfter;
        else
            applyEffectsToFile(engine, file, exif);
        done = k;
        if (progress.after)
            progress.after(k, total, file);
    }
    return done;
}
