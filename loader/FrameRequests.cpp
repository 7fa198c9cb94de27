#include "loader/FrameRequests.h"

#include "core/Errors.h"
#include "core/RegularFile.h"
#include "graphics/AnimatedPicture.h"
#include "graphics/PictureError.h"
#include "loader/PictureRequests.h"

#include <QColorSpace>

#include <cerrno>
#include <cstring>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Longer than any file would sensibly wait; what is longer is shown this long.
constexpr int LongestDelayMs = 600'000;

// Which file a session reads: the same descriptor's file, unchanged.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    quint8 format = 0;
    bool displayColors = false;

    bool operator==(const FileIdentity& o) const
    {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               format == o.format && displayColors == o.displayColors;
    }
};

// The file's bytes seen in place, for decoders that want them whole: the
// page cache holds them, not this process's own memory.
class ReadOnlyMapping {
public:
    ReadOnlyMapping() = default;
    ReadOnlyMapping(int fd, qint64 size, const QString& name) : m_size(std::size_t(size))
    {
        void* at = m_size ? ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
        if (at == MAP_FAILED)
            throw AppError(msg::cannotOpen(name, QString::fromLocal8Bit(std::strerror(m_size ? errno : EINVAL))));
        m_at = at;
    }
    ~ReadOnlyMapping()
    {
        if (m_at)
            ::munmap(m_at, m_size);
    }
    ReadOnlyMapping(const ReadOnlyMapping&) = delete;
    ReadOnlyMapping& operator=(const ReadOnlyMapping&) = delete;
    QByteArray bytes() const { return QByteArray::fromRawData(static_cast<const char*>(m_at), qsizetype(m_size)); }

private:
    void* m_at = nullptr;
    std::size_t m_size = 0;
};

// Declared in the order they may go: the animation reads from the others.
struct Session {
    FileIdentity file;
    UniqueFd fd;
    std::unique_ptr<ReadOnlyMapping> mapping;
    std::unique_ptr<AnimatedPicture> animation;
};

// One per loader (per thread in process): a loader plays one animation at a time.
Session& session()
{
    thread_local Session s;
    return s;
}

// The session's animation at frame `index`: kept when it is there already,
// else opened anew (the file changed, or the frames start over).
AnimatedPicture& animationAt(const LoaderRequest& request, UniqueFd& fd, quint32 index)
{
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw AppError(msg::cannotOpen(request.name, QStringLiteral("It is not a regular file.")));
    if (st.st_size > MaxReadBytes)
        throw AppError(msg::cannotOpen(request.name, QString::fromLocal8Bit(std::strerror(EFBIG))));
    const FileIdentity file{st.st_dev, st.st_ino, st.st_size, st.st_mtim, request.format, request.displayColors};
    const PictureFormat format = PictureFormat(request.format);
    Session& s = session();
    if (!(s.file == file) || !s.fd.isValid()) {
        s.animation.reset();
        s.mapping.reset();
        s.fd = std::move(fd);
        s.file = file;
    }
    if (!s.animation || s.animation->nextIndex() > int(index)) {
        s.animation.reset();
        // An APNG's frames are read from the file as they come; the other
        // kinds' decoders want the whole file at hand.
        if (format == PictureFormat::Png) {
            s.animation = AnimatedPicture::openApng(s.fd.get(), st.st_size);
        } else {
            if (!s.mapping)
                s.mapping = std::make_unique<ReadOnlyMapping>(s.fd.get(), st.st_size, request.name);
            s.animation = AnimatedPicture::open(s.mapping->bytes(), format);
        }
        if (!s.animation)
            throw AppError(QStringLiteral("\"%1\" is no animation.").arg(request.name));
    }
    while (s.animation->nextIndex() < int(index) && s.animation->next()) {
    }
    return *s.animation;
}

} // namespace

OutgoingReply answerFrameRequest(const LoaderRequest& request, std::vector<UniqueFd>& fds,
                                 const PixelMemory& memory)
{
    if (fds.size() != 1 || request.format == 0 || request.format > quint8(PictureFormat::Svg) ||
        request.frame > quint32(INT_MAX))
        return OutgoingReply::failure(QStringLiteral("The request is not valid."));
    OutgoingReply out;
    try {
        AnimatedPicture& animation = animationAt(request, fds.front(), request.frame);
        std::optional<AnimationFrame> frame;
        if (animation.nextIndex() == int(request.frame))
            frame = animation.next();
        LoaderReply& r = out.reply;
        if (frame) {
            QImage image = std::move(frame->image);
            if (request.displayColors && image.colorSpace().isValid() &&
                image.colorSpace() != QColorSpace(QColorSpace::SRgb))
                image.convertToColorSpace(QColorSpace::SRgb);
            PixelLayout layout;
            putPixels(std::move(image), QRect(QPoint(0, 0), animation.canvas()), memory, layout);
            r.pixels = layout;
            r.frameDelay = std::clamp(frame->delayMs, 0, LongestDelayMs);
        }
        r.frames = quint32(std::max(animation.frameCount(), frame ? 0 : animation.nextIndex()));
        r.plays = animation.plays();
        r.format = request.format;
        r.size = r.storedSize = animation.canvas();
        r.done = true;
    } catch (const PictureError& e) {
        session().animation.reset();
        return OutgoingReply::failure(e.about(request.name).text());
    } catch (const AppError& e) {
        session().animation.reset();
        return OutgoingReply::failure(e.text());
    }
    return out;
}
