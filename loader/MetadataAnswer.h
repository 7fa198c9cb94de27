#pragma once
// The loader's answer to a Metadata request: the camera's values of a
// picture file (EXIF, wherever its kind keeps it) and the name of its
// colour profile, each as text under the key the viewer asked by.
#include "core/LoaderReply.h"
#include "graphics/Picture.h"

#include <QByteArray>
#include <QList>

// The values of `keys` that `bytes` (the file of `picture`) holds; those
// it lacks are left out, and so are keys this reader does not know.
// Numbers keep the file's own form: a rational as "numerator/denominator".
QList<std::pair<QByteArray, QByteArray>> pictureMetadata(const Picture& picture, const QByteArray& bytes,
                                                         const QList<QByteArray>& keys);
