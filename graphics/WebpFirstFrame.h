#pragma once
// An animated WebP's first frame as a still WebP of its own, for the still
// an animation shows: Qt's reader composes an animation's frames on a canvas
// of its own beside a copy of the whole file, where the frame alone needs
// neither.
#include <QByteArray>

// Empty where `data` is no animation, or its first frame does not cover the
// canvas (its still is then composed as the file's frames are).
QByteArray webpFirstFrame(const QByteArray& data);
