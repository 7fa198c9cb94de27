#include "viewer/DecodeAhead.h"

#include "core/Errors.h"
#include "graphics/BlockReducer.h"
#include "graphics/LargePageImage.h"
#include "graphics/PictureBands.h"
#include "viewer/PictureTiles.h"

#include <algorithm>
#include <utility>

namespace {

// Past this many drawn pixels the main image draws straight from the whole
// picture rather than from a copy scaled to the drawn size.
constexpr qint64 LargestScaledCopy = 16'000'000;

bool ownSize(const DrawTarget& t, QSize picture)
{
    return t.drawn == picture;
}

// A picture drawn this large is decoded in tiles (PictureTiles): nothing is
// decoded for it here.
bool tiled(const Picture& picture, const DrawTarget& t)
{
    return picture.decodesBands() && PictureTiles::tiles(t.drawn);
}

// Whether a picture drawn at `drawn` is drawn from a copy of that size,
// rather than from the whole picture.
bool scaledCopy(QSize drawn, QSize picture)
{
    return drawn != picture && qint64(drawn.width()) * drawn.height() <= LargestScaledCopy;
}

// Where the pixels of a picture decoded ahead go: into large pages, which
// stay quick to read however long the picture waits. Not those of the
// picture being waited for: the kernel may first compact memory to find
// large pages, which has held a shown picture back by tens of milliseconds.
enum class Pages { Large, Small };

QImage drawnFromCovering(QImage covering, QSize drawn, Pages pages)
{
    // Converted first: Qt scales only its 32-bit formats, converting others
    // there and back. The covering pixels (often the loader's memory, mapped
    // here) are let go once scaled, before the copy into large pages.
    QImage image = inDrawingFormat(std::exchange(covering, QImage()));
    if (!image.isNull() && image.size() != drawn)
        image = image.scaled(drawn, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return pages == Pages::Large ? copiedToLargePages(image) : image;
}

QImage drawnPixels(const Picture& picture, QSize drawn, bool displayColors, Pages pages,
                   const std::atomic<bool>& stop)
{
    if (drawn.isEmpty())
        return QImage();
    if (!scaledCopy(drawn, picture.size()))
        return picture.decodedCovering(picture.size(), displayColors, &stop);
    return drawnFromCovering(picture.decodedCovering(drawn, displayColors, &stop), drawn, pages);
}

// What drawnPixels() gives, from pixels decoded for another size; null
// where they don't serve.
QImage drawnFromEarly(QImage covering, Picture::Kind kind, QSize picture, QSize drawn)
{
    if (covering.isNull() || drawn.isEmpty())
        return QImage();
    if (!scaledCopy(drawn, picture))
        return covering.size() == picture ? covering : QImage();
    if (!EarlyDecode::serves(kind, picture, covering.size(), drawn))
        return QImage();
    return drawnFromCovering(std::move(covering), drawn, Pages::Small); // shown as the program starts
}

} // namespace

EarlyDecode::EarlyDecode(const QString& path, const DrawRule& guess, ExifOrientation exif, bool displayColors)
    : m_path(path), m_exif(exif), m_displayColors(displayColors)
{
    m_made = std::async(std::launch::async, [path, guess, exif, displayColors] {
        Made made;
        made.stamp = FileStamp::of(path);
        made.picture = Picture::loadFromFile(path, exif);
        const QSize size = made.picture.size();
        const DrawTarget target = guess ? guess(size) : DrawTarget{};
        if (target.drawn.isEmpty() || tiled(made.picture, target))
            return made;
        // A JPEG's decode for a size is one of its scales, the same for
        // sizes near it, as are whole blocks of another kind: both are
        // scaled once to the size drawn. Another kind's reduced by Qt to the
        // guess would be scaled twice: it is decoded early only where it
        // comes whole.
        const Picture& p = made.picture;
        if (!scaledCopy(target.drawn, size) || serves(p.kind(), size, size, target.drawn))
            made.covering = p.decodedCovering(size, displayColors);
        else if (p.kind() == Picture::Kind::Jpeg || p.reducesByBlocks())
            made.covering = p.decodedCovering(target.drawn, displayColors);
        return made;
    });
}

std::optional<EarlyDecode::Made> EarlyDecode::take()
{
    std::lock_guard lock(m_mutex);
    if (std::exchange(m_taken, true))
        return std::nullopt;
    return m_made.get();
}

bool EarlyDecode::serves(Picture::Kind kind, QSize picture, QSize covering, QSize drawn)
{
    if (covering.width() < drawn.width() || covering.height() < drawn.height())
        return false;
    if (kind == Picture::Kind::Jpeg)
        return covering == scaledDown(picture, jpegDenomCovering(picture, drawn));
    if (covering == picture)
        return covering.width() < 2 * drawn.width() || covering.height() < 2 * drawn.height();
    // Qt's reduction to another size would be scaled twice.
    return blocksFactor(picture, covering) >= 2;
}

DecodeAhead::DecodeAhead(QSize thumbBox, QObject* parent) : QObject(parent), m_thumbBox(thumbBox) {}

bool DecodeAhead::sameTask(const Task& a, const Task& b)
{
    return a.entry.path == b.entry.path && a.work == b.work &&
           a.entry.picture.sharesDataWith(b.entry.picture) && a.target == b.target;
}

bool DecodeAhead::cached(const Task& t) const
{
    const std::shared_ptr<const Decoded> d = find(t.entry.path);
    if (!d)
        return false;
    const DrawTarget target = t.rule(d->picture.size());
    if (tiled(d->picture, target))
        return d->displayColors == t.displayColors;
    const bool image = !d->image.isNull() && d->target.drawn == target.drawn;
    if (t.work == Work::Whole || !ownSize(target, d->picture.size()))
        return image;
    return image || (!d->band.isNull() && d->bandRect.contains(target.visible));
}

void DecodeAhead::want(const Entry& shown, const QList<Entry>& ahead, const DrawRule& rule,
                       ExifOrientation exif, bool displayColors)
{
    m_shownPath = shown.path;
    // The early decode serves the first entry shown only.
    if (m_early && !shown.path.isEmpty() && !m_early->serves(shown.path, exif, displayColors))
        m_early.reset();
    QList<Entry> entries;
    if (!shown.path.isEmpty())
        entries << shown;
    entries << ahead;

    // Only what is asked for now stays; a cached entry whose picture or file
    // has changed since goes too.
    const qsizetype shownCount = shown.path.isEmpty() ? 0 : 1;
    m_wanted.clear();
    QHash<QString, std::shared_ptr<const Decoded>> keep;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        m_wanted.insert(e.path, e.picture);
        std::shared_ptr<const Decoded> d = m_cache.value(e.path);
        if (!d || keep.contains(e.path))
            continue;
        const bool same = e.picture.isEmpty() ? d->stamp.isValid() && d->stamp == FileStamp::of(e.path)
                                              : d->picture.sharesDataWith(e.picture);
        if (!same || d->picture.exifOrientation() != exif)
            continue;
        // Beside the shown one, a whole picture at its own size is more than
        // needed: its visible band is enough.
        if (i >= shownCount && ownSize(d->target, d->picture.size()) && !d->image.isNull()) {
            auto slim = std::make_shared<Decoded>(*d);
            slim->image = QImage();
            d = slim;
        }
        keep.insert(e.path, d);
    }
    m_cache = keep;

    QList<Task> tasks;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry& e = entries.at(i);
        const bool isShown = i < shownCount;
        const DrawTarget target = e.picture.isEmpty() ? DrawTarget{} : rule(e.picture.size());
        tasks.append({e, Work::Scaled, target, rule, exif, displayColors, isShown,
                      isShown && e.picture.isEmpty() ? m_early : nullptr});
        // A picture still to be read learns its size first: the whole is
        // asked for once it is known.
        if (isShown && !e.picture.isEmpty() && ownSize(target, e.picture.size()) && !tiled(e.picture, target))
            tasks.append({e, Work::Whole, target, rule, exif, displayColors, true, nullptr});
    }
    tasks.removeIf([this](const Task& t) { return cached(t); });

    schedule(tasks);
}

void DecodeAhead::schedule(QList<Task> tasks)
{
    // Work already under way on a wanted task carries on; everything else
    // goes, and the rest is queued anew in the order wanted.
    QList<Submitted> kept;
    for (const Submitted& s : std::as_const(m_submitted)) {
        if (!m_runner.isPending(s.ticket))
            continue;
        const auto same =
            std::find_if(tasks.begin(), tasks.end(), [&](const Task& t) { return sameTask(t, s.task); });
        if (m_runner.hasStarted(s.ticket) && same != tasks.end()) {
            kept.append(s);
            tasks.erase(same);
        } else {
            m_runner.cancel(s.ticket);
        }
    }
    m_submitted = kept;
    for (const Task& t : std::as_const(tasks))
        submit(t);
}

void DecodeAhead::submit(const Task& task)
{
    const JobRunner::Ticket ticket = m_runner.submit(
        [this, task, box = m_thumbBox](const JobRunner::StopFlag& stop) -> JobRunner::Delivery {
            return [this, result = decode(task, box, stop)]() mutable { store(std::move(result)); };
        },
        [this, task](const std::exception_ptr& error) {
            // An entry beside the shown one is told when it is shown, also
            // when work begun for it ahead was kept for it once shown.
            if (task.shown || task.entry.path == m_shownPath)
                emit failed(task.entry.path, failureText(error));
        });
    m_submitted.append({task, ticket});
}

std::shared_ptr<const Decoded> DecodeAhead::find(const QString& path) const
{
    return m_cache.value(path);
}

void DecodeAhead::forget(const QString& path)
{
    m_cache.remove(path);
    m_wanted.remove(path);
    m_submitted.removeIf([&](const Submitted& s) {
        if (s.task.entry.path != path)
            return false;
        m_runner.cancel(s.ticket);
        return true;
    });
}

void DecodeAhead::forgetAll()
{
    m_cache.clear();
    m_wanted.clear();
    // A cancelled job never reports, so nothing older can arrive.
    for (const Submitted& s : std::as_const(m_submitted))
        m_runner.cancel(s.ticket);
    m_submitted.clear();
}

void DecodeAhead::waitForIdle()
{
    m_runner.waitForIdle();
}

Decoded DecodeAhead::decode(const Task& task, QSize thumbBox, const JobRunner::StopFlag& stop)
{
    Decoded out;
    out.path = task.entry.path;
    out.picture = task.entry.picture;
    std::optional<EarlyDecode::Made> early;
    if (out.picture.isEmpty() && task.early)
        early = task.early->take();
    if (early) {
        out.stamp = early->stamp;
        out.picture = early->picture;
    } else if (out.picture.isEmpty()) {
        out.stamp = FileStamp::of(out.path);
        out.picture = Picture::loadFromFile(out.path, task.exif);
    }
    out.target = task.rule(out.picture.size());
    out.displayColors = task.displayColors;
    if (tiled(out.picture, out.target))
        return out;
    // A shown picture that has no bands is decoded whole at once: asking for
    // its band first would put the next entries' work before its own.
    const bool bandFirst = !task.shown || out.picture.decodesBands();
    if (early)
        out.image = drawnFromEarly(std::move(early->covering), out.picture.kind(), out.picture.size(),
                                   out.target.drawn);
    if (out.image.isNull() && task.work == Work::Scaled && ownSize(out.target, out.picture.size()) && bandFirst) {
        out.bandRect = out.target.visible;
        out.band = out.picture.decodedBand(&out.bandRect, task.displayColors);
    } else if (out.image.isNull()) {
        out.image = drawnPixels(out.picture, out.target.drawn, task.displayColors,
                                task.shown ? Pages::Small : Pages::Large, stop);
    }
    // A file read here gives the strip its rendition from the drawn pixels,
    // after them, so the main image never waits for a thumbnail's decode.
    const QSize thumbSize = out.picture.size().scaled(thumbBox, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    if (out.stamp.isValid() && out.image.width() >= thumbSize.width() &&
        out.image.height() >= thumbSize.height())
        out.thumb = out.image.scaled(thumbSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return out;
}

void DecodeAhead::store(Decoded result)
{
    // A newer want() may have moved on meanwhile.
    const auto wanted = m_wanted.constFind(result.path);
    if (wanted == m_wanted.cend() || (!wanted->isEmpty() && !wanted->sharesDataWith(result.picture)))
        return;
    const std::shared_ptr<const Decoded> old = m_cache.value(result.path);
    auto merged = std::make_shared<Decoded>(result);
    if (old && old->picture.sharesDataWith(result.picture)) {
        *merged = *old;
        if (!result.image.isNull()) {
            merged->image = result.image;
            merged->target = result.target;
        } else {
            merged->band = result.band;
            merged->bandRect = result.bandRect;
        }
        merged->displayColors = result.displayColors;
    }
    m_cache.insert(result.path, merged);
    emit ready(result.path);
}
