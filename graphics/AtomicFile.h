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
