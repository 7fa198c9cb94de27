#pragma once
// Every library and codec plugin the loader may use, loaded before it
// seals itself (afterwards nothing can be opened): a tiny picture of every
// kind goes through the same request code real pictures take.
#include "core/LoaderRequest.h"
#include "graphics/PictureFormat.h"

#include <QStringList>

// Which readers a loader loads. A lean one has only those of the common
// kinds, whose libraries the loader links, and perhaps those of one more
// kind (the picture it was started for): it is ready several times sooner,
// and a picture of another kind goes to a full one.
struct LoaderReaders {
    bool lean = false;
    PictureFormat alsoRead = PictureFormat::Unknown; // a lean one's one more kind
};

// The kinds that failed to decode (their pictures will fail the same way
// later); empty when all did.
QStringList warmUpCodecs(LoaderReaders readers);
// Whether a loader with `readers` answers `request` about the file `fd`.
bool loaderReads(LoaderReaders readers, const LoaderRequest& request, int fd);
