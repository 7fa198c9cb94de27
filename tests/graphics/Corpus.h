#pragma once
// Files of the picture corpus, named by their path inside it.
#include "tests/support/FileBytes.h"
#include "tests/support/Printers.h"

inline QString corpusPath(const QString& relative)
{
    return QStringLiteral(PV_CORPUS_DIR "/") + relative;
}

inline QByteArray corpusBytes(const QString& relative)
{
    return fileBytes(corpusPath(relative));
}
