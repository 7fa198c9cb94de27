#pragma once
// Asks a loader of the shared pool for an animation's frames one after the
// other (see LoaderTask::Frame). The loader stays parked for the next frame,
// so that it keeps its place in the file, and counts against the pool's
// size; it goes back to the pool with this object. Used by one thread at a
// time.
#include "graphics/Picture.h"
#include "graphics/PictureLoaders.h"

#include <QImage>


class AnimationLoader {
public:
    struct Frame {
        QImage image;    // the whole canvas; null past the last frame
        int delayMs = 0; // as the file says
        int frames = 0;  // 0 while not known
        int plays = 0;   // 0: forever
    };

    AnimationLoader();
    ~AnimationLoader();

    // Whether `picture` may be an animation (its kind animates and it was
    // read by a loader); only the loader tells whether it is one.
    static bool mayAnimate(const Picture& picture);
    // Frame `index` of `picture`. Throws AppError: the loader's message
    // (no animation, damage) or msg::readerStopped.
    Frame frame(const Picture& picture, int index, bool displayColors);

private:
    PictureLoaders::Held m_loader;
};
