#pragma once
// Every library and codec plugin the loader may use, loaded before it
// seals itself (afterwards nothing can be opened): a tiny picture of every
// kind goes through the same request code real pictures take.
#include "core/LoaderRequest.h"

#include <QStringList>

// Which readers a loader loads. A lean one has only those of the common
// kinds, whose libraries the loader links: it is ready several times
// sooner, and a picture of another kind goes to a full one.
enum class LoaderReaders { Full, Lean };

// The kinds that failed to decode (their pictures will fail the same way
// later); empty when all did.
QStringList warmUpCodecs(LoaderReaders readers);
// Whether a lean loader answers `request` about the file `fd`.
bool leanLoaderReads(const LoaderRequest& request, int fd);
