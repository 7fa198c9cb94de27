#pragma once
// Every file the program writes goes through here: written to a temporary
// file in the same folder and renamed over the target only when complete.
#include <QByteArray>
#include <QString>

// Throws AppError("Cannot create file "%s". %s") on any failure; the old file
// stays whole and no temporary file is left behind.
void writeFileAtomically(const QString& path, const QByteArray& data);

// Reads a whole file; throws AppError("Cannot open file "%s". %s").
QByteArray readWholeFile(const QString& path);

// Test seam: makes every following atomic write fail at `step` as the system
// would, with `error` (an errno value), until reset to None. A Write fault
// strikes after half of the data has reached the temporary file.
enum class AtomicWriteFault { None, Open, Write, Flush, Commit };
void setAtomicWriteFault(AtomicWriteFault step, int error = 5 /* EIO */);
