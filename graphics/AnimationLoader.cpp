#include "graphics/AnimationLoader.h"

#include "core/Errors.h"
#include "core/UniqueFd.h"
#include "graphics/DisplayColors.h"
#include "graphics/LoaderAnswer.h"
#include "graphics/PictureLoaders.h"

AnimationLoader::AnimationLoader() = default;
AnimationLoader::~AnimationLoader() = default;

bool AnimationLoader::mayAnimate(const Picture& picture)
{
    switch (picture.format()) {
    case PictureFormat::Png:
        // The loader's probe told a still PNG as one it can write back: no
        // animation loader is started for the commonest still kind.
        return picture.loaderSource() != nullptr && !picture.toldRewritable();
    case PictureFormat::Gif:
    case PictureFormat::WebP:
    case PictureFormat::JpegXl:
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
        if (!m_loader)
            m_loader = PictureLoaders::shared().startOwnLoader();
        LoaderChannel::Message message = m_loader->exchange(request.encoded(), {source->get()});
        answer = LoaderAnswer::fromMessage(message, request, picture.data().size());
    } catch (const LoaderProcess::Stopped& stopped) {
        m_loader.reset();
        throw AppError(msg::readerStopped(request.name, stopped.reason));
    }
    if (!answer) {
        m_loader.reset();
        throw AppError(msg::readerStopped(request.name, QStringLiteral("its answer was not valid")));
    }
    if (!answer->reply.done)
        throw AppError(answer->reply.error);
    const LoaderReply& r = answer->reply;
    return Frame{answer->image, r.frameDelay, int(std::min<quint32>(r.frames, INT_MAX)), r.plays};
}
