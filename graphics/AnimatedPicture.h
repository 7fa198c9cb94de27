#pragma once
// An animation's frames, composed on its canvas one after the other as the
// file says (timing, disposal, blending), so that the canvas and the frame
// being drawn are all that is held. GIF through Qt's plugin, WebP through
// libwebp's demuxer, APNG here, JPEG XL through libjxl, AVIF sequences
// through libavif. For the loader only.
#include "graphics/PictureFormat.h"

#include <QByteArray>
#include <QImage>

#include <memory>
#include <optional>

struct AnimationFrame {
    QImage image;    // the whole canvas
    int delayMs = 0; // as the file says, before any minimum is applied
};

class AnimatedPicture {
public:
    virtual ~AnimatedPicture() = default;

    // Null for a still, or a kind that does not animate. Throws
    // PictureError where the file's start is damaged or too large.
    static std::unique_ptr<AnimatedPicture> open(const QByteArray& bytes, PictureFormat format);
    // False where the file's header shows a single frame (a WebP without
    // the animation flag, a JPEG XL without animation); true where it may
    // hold more, or the kind does not tell so early.
    static bool mayHoldFrames(const QByteArray& bytes, PictureFormat format);
    // An APNG read from `fd` (`size` bytes) chunk by chunk as its frames
    // come; `fd` stays open while the animation is.
    static std::unique_ptr<AnimatedPicture> openApng(int fd, qint64 size);

    QSize canvas() const { return m_canvas; }
    // 0 where the file does not tell before its frames are read.
    int frameCount() const { return m_frames; }
    // How often the whole animation plays; 0: forever.
    int plays() const { return m_plays; }
    // The frame `next()` gives.
    int nextIndex() const { return m_next; }

    // The next frame; none past the last. Throws PictureError where the
    // frame is damaged.
    std::optional<AnimationFrame> next();

protected:
    virtual std::optional<AnimationFrame> read() = 0;
    QSize m_canvas;
    int m_frames = 0;
    int m_plays = 0;

private:
    int m_next = 0;
};

// The same for JPEG XL (in JxlPicture.cpp, beside its other libjxl use)
// and AVIF sequences (AvifAnimation.cpp).
std::unique_ptr<AnimatedPicture> openJxlAnimation(const QByteArray& bytes);
std::unique_ptr<AnimatedPicture> openAvifAnimation(const QByteArray& bytes);
