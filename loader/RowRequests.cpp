#include "loader/RowRequests.h"

#include "core/Errors.h"
#include "core/SealedMapping.h"
#include "graphics/Bitmap24.h"
#include "graphics/JpegStream.h"
#include "graphics/PictureError.h"
#include "graphics/PictureFormat.h"

#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>

namespace {

// More rows than a band needs: a reply stays a small part of a frame.
constexpr int MostRows = 256;

// The memory a viewer sends along for the rows, mapped once for all of a
// file's bands: mapping it anew for each cost as much as the decode. Sealed
// against resizing, the same memfd keeps its size.
struct RowsMemory {
    dev_t device = 0;
    ino_t inode = 0;
    std::shared_ptr<uchar> data;

    // The memory of `fd` (at least `size` bytes), or null when it is smaller.
    uchar* of(int fd, qint64 size)
    {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || st.st_size < size)
            return nullptr;
        if (!data || st.st_dev != device || st.st_ino != inode) {
            data.reset();
            void* at = ::mmap(nullptr, size_t(st.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
            if (at == MAP_FAILED)
                throw std::bad_alloc();
            const size_t mapped = size_t(st.st_size);
            data.reset(static_cast<uchar*>(at), [mapped](uchar* p) { ::munmap(p, mapped); });
            device = st.st_dev, inode = st.st_ino;
        }
        return data.get();
    }
};

struct Session {
    // A file the viewer sealed is mapped, not copied.
    std::shared_ptr<const SealedMapping> file;
    QByteArray bytes;
    std::unique_ptr<JpegBandReader> reader;
    int nextRow = 0;
    RowsMemory rows;
};

// One per loader (per thread in process): a loader streams one file at a time.
Session& session()
{
    thread_local Session s;
    return s;
}

void endSession()
{
    // The decoder before the bytes it reads.
    session().reader.reset();
    session() = Session();
}

OutgoingReply rows(const LoaderRequest& request, const std::vector<UniqueFd>& fds)
{
    Session& s = session();
    // The first band opens the file anew; any other continues it.
    if (request.region.top() == 0) {
        endSession();
        const int fd = fds.front().get();
        s.bytes = mappedOrRead(fd, fileSize(fd, request.name), request.name, SealedMapping::Read::Whole, s.file);
        if (pictureFormatOf(s.bytes.left(PictureFormatHeadBytes), request.name) != PictureFormat::Jpeg)
            throw PictureError::notKind(PictureFormat::Jpeg);
        s.reader = std::make_unique<JpegBandReader>(s.bytes);
        OutgoingReply none;
        none.reply.done = true;
        none.reply.format = quint8(PictureFormat::Jpeg);
        none.reply.size = none.reply.storedSize = QSize(s.reader->width(), s.reader->height());
        if (!s.reader->colour())
            endSession();
        if (!s.reader)
            return none;
    }
    const QRect& r = request.region;
    if (!s.reader || r.top() != s.nextRow || r.left() != 0 || r.width() != s.reader->width() ||
        r.height() < 1 || r.height() > MostRows || r.bottom() >= s.reader->height())
        return OutgoingReply::failure(QStringLiteral("The request is not valid."));
    const int stride = Bitmap24::strideFor(r.width());
    const qint64 size = qint64(stride) * r.height();
    uchar* to = s.rows.of(fds[1].get(), size);
    if (!to)
        return OutgoingReply::failure(QStringLiteral("The request is not valid."));
    s.reader->read(to, stride, r.height());
    s.nextRow = r.top() + r.height();
    const bool last = s.nextRow == s.reader->height();
    if (last)
        s.reader->finish();
    OutgoingReply out;
    LoaderReply& reply = out.reply;
    reply.format = quint8(PictureFormat::Jpeg);
    reply.size = reply.storedSize = QSize(s.reader->width(), s.reader->height());
    reply.damage = quint8(s.reader->damage());
    reply.damageKnown = last;
    reply.pixels = PixelLayout{r.size(), stride, quint32(QImage::Format_BGR888), r};
    reply.done = true;
    if (last)
        endSession();
    return out;
}

} // namespace

OutgoingReply answerRowsRequest(const LoaderRequest& request, const std::vector<UniqueFd>& fds)
{
    // The file, and the memory the rows are to come in.
    if (fds.size() != 2)
        return OutgoingReply::failure(QStringLiteral("The request is not valid."));
    try {
        return rows(request, fds);
    } catch (const PictureError& e) {
        endSession();
        return OutgoingReply::failure(e.about(request.name).text());
    } catch (const AppError& e) {
        endSession();
        return OutgoingReply::failure(e.text());
    }
}
