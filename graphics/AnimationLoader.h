#pragma once
// Asks a loader of its own for an animation's frames one after the other
// (see LoaderTask::Frame), so that stills' reads never wait behind them.
// Used by one thread at a time; the loader starts at the first frame asked.
#include "graphics/LoaderProcess.h"
#include "graphics/Picture.h"

#include <QImage>

#include <memory>

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
    std::unique_ptr<LoaderProcess> m_loader;
};
