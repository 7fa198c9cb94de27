#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <random>
#include <stdexcept>

QString corpusPath(const QString& relative)
{
    return QStringLiteral(PV_CORPUS_DIR "/") + relative;
}

QByteArray corpusBytes(const QString& relative)
{
    QFile f(corpusPath(relative));
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing corpus file " + relative.toStdString());
    return f.readAll();
}

QString writeScratch(const QTemporaryDir& dir, const QString& name, const QByteArray& data)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        throw std::runtime_error("cannot write scratch file");
    return path;
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

Bitmap24 gradientBitmap(int width, int height)
{
    Bitmap24 b(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = b.scanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = std::uint8_t(x * 255 / std::max(1, width - 1));
            p[1] = std::uint8_t(y * 255 / std::max(1, height - 1));
            p[2] = std::uint8_t(128 + (x - y) / 4);
        }
    }
    return b;
}

Bitmap24 noiseBitmap(int width, int height, unsigned seed)
{
    std::mt19937 rng(seed);
    Bitmap24 b(width, height);
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < width * 3; ++i)
            b.scanLine(y)[i] = std::uint8_t(rng());
    return b;
}
