#pragma once
// A loader's reply once the viewer checked it: its facts, and its pixels
// as an image over the sealed memfd, read-only and never copied (the
// mapping lives as long as the image or a copy of it).
#include "core/LoaderChannel.h"
#include "core/LoaderReply.h"
#include "core/LoaderRequest.h"

#include <QImage>

#include <optional>

struct LoaderAnswer {
    LoaderReply reply;
    QImage image;

    // Empty when anything in `message` is out of place for an answer to
    // `request` about a file of `fileSize` bytes: its structure, a value
    // out of range, a descriptor too many or too few, pixels whose layout
    // the sealed memfd does not hold exactly, or a memfd not sealed.
    // Rows asked into memory of `rowsMemoryBytes` sent along with the
    // request (the viewer's own) come in it, with no descriptor and no image.
    static std::optional<LoaderAnswer> fromMessage(LoaderChannel::Message& message,
                                                   const LoaderRequest& request, qint64 fileSize,
                                                   qint64 rowsMemoryBytes = -1);
};
