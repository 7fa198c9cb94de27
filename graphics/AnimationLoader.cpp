#include "graphics/AnimationLoader.h"

#include "core/Errors.h"
#include "core/UniqueFd.h"
#include "graphics/DisplayColors.h"
#include "graphics/LoaderAnswer.h"

AnimationLoader::AnimationLoader() : m_loader(PictureLoaders::shared())
{
    m_loader.keepAfterToldFailures();
}
AnimationLoader::~AnimationLoader() = default;

bool AnimationLoader::mayAnimate(const Picture& picture)
{
    switch (picture.format()) {
    case PictureFormat::Png:
        // The loader's probe told a still PNG as one it can write back: no
        // animation loader is started for the commonest still kind.
        return picture.loaderSource() != nullptr && !picture.toldRewritable();
    case PictureFormat::WebP:
    case PictureFormat::JpegXl:
        // Nor for a still: the probe read that from the file's header.
        return picture.loaderSource() != nullptr && !picture.toldOneFrame();
    case PictureFormat::Gif:
    case PictureFormat::Avif:
        return picture.loaderSource() != nullptr;
    default:
        return false;
    }
}

AnimationLoader::Frame AnimationLoader::frame(const Picture& picture, int index, bool displayColors)
{
    const std::shared_ptr<const UniqueFd> source = picture.loaderSource();
    LoaderRequest request;
    request.task = LoaderTask::Frame;
    request.name = picture.fileName();
    request.format = quint8(picture.format());
    request.displayColors = displayColors;
    request.frame = quint32(std::max(index, 0));
    if (!source || !source->isValid())
        throw AppError(QStringLiteral("\"%1\" is no animation.").arg(request.name));
    std::optional<LoaderAnswer> answer;
    try {
        answer = m_loader.ask(source->get(), picture.byteCount(), request);
    } catch (...) {
        // No animation, or none past here: the loader serves others meanwhile.
        m_loader.release();
        throw;
    }
    // Past the last frame the animation may have ended: the loader need not wait for it.
    if (answer->image.isNull())
        m_loader.release();
    else
        m_loader.park();
    const LoaderReply& r = answer->reply;
    return Frame{answer->image, r.frameDelay, int(std::min<quint32>(r.frames, INT_MAX)), r.plays};
}
