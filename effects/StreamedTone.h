#pragma once
// The tone chain from file to file a band of rows at a time: the decoder on
// a thread of its own, the chain and the encoder on the caller's, so a big
// picture never needs a whole frame in memory. The bytes written are those
// of the whole-frame path (the engine's rendering, then writeRenderedPicture).
#include "effects/EffectTable.h"
#include "graphics/Picture.h"

#include <functional>

// True when the values change each pixel on its own (no neighbourhood
// effect), so that bands give the whole frame's pixels.
bool tonePipelineStreams(const EffectValues& values);

// Renders `in` with `values` into `out` (a 24-bit BMP or a quality-90 JPEG
// keeping a JPEG's metadata: the kind `in` holds when `out` is `in`, else
// the one the extension of `out` names), its noise drawn from `random` as
// the engine draws a fresh pattern.
// Answers false, having written and drawn nothing, where only the
// whole-frame path gives the right bytes: neighbourhood effects, kinds
// other than JPEG and 24-bit BMP, a JPEG that must be turned upright, JPEG
// into BMP (whose rows go bottom-up). `beforeCommit` runs when the new
// content is complete, before it replaces `out`; it may throw to abandon
// the write. Throws AppError as the whole-frame path does.
bool renderFileStreamed(const QString& in, const QString& out, const EffectValues& values,
                        ExifOrientation exif, NoiseGenerator& random,
                        const std::function<void()>& beforeCommit = {});
