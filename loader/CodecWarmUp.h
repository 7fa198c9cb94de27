#pragma once
// Every library and codec plugin the loader may use, loaded before it
// seals itself (afterwards nothing can be opened): a tiny picture of every
// kind goes through the same request code real pictures take.
#include <QStringList>

// The kinds that failed to decode (their pictures will fail the same way
// later); empty when all did.
QStringList warmUpCodecs();
