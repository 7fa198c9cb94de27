#include "fuzz/FuzzSupport.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

QString fuzzScratchFile(const QByteArray& bytes, const QString& extension)
{
    const QString path = QDir::tempPath() + QStringLiteral("/pv-fuzz-%1.%2").arg(getpid()).arg(extension);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}
