#include "graphics/PngChunks.h"

#include "core/SealedMapping.h"

#include <QtEndian>

#include <cmath>
#include <zlib.h>

namespace {
const QByteArray Signature("\x89PNG\r\n\x1A\n", 8);
constexpr qsizetype LetGoBytes = 1 << 20;

quint32 be32(const QByteArray& bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

void appendBe32(QByteArray& out, quint32 v)
{
    char field[4];
    qToBigEndian(v, field);
    out.append(field, 4);
}

bool near(quint32 stored, double wanted)
{
    return std::abs(double(stored) - wanted * 100000.0) <= 1000.0;
}

// cHRM: white point and the three primaries, each x then y, in 1/100000.
bool srgbChromaticities(const QByteArray& chrm)
{
    static const double srgb[8] = {0.3127, 0.3290, 0.64, 0.33, 0.30, 0.60, 0.15, 0.06};
    if (chrm.size() != 32)
        return false;
    for (int i = 0; i < 8; ++i) {
        if (!near(be32(chrm, 4 * i), srgb[i]))
            return false;
    }
    return true;
}
} // namespace

QList<PngChunk> pngChunks(const QByteArray& file, bool pixels)
{
    QList<PngChunk> chunks;
    if (!file.startsWith(Signature))
        return chunks;
    qsizetype at = Signature.size();
    for (qsizetype passed = 0; at + 12 <= file.size();) {
        const quint32 length = be32(file, at);
        if (length > quint32(file.size() - at - 12))
            return {};
        PngChunk c{file.mid(at + 4, 4), QByteArray()};
        if (pixels || c.type != "IDAT")
            c.data = file.mid(at + 8, qsizetype(length));
        at += 12 + qsizetype(length);
        // Walked once: a mapped file's pages passed need not stay resident.
        if (at - passed >= LetGoBytes) {
            SealedMapping::letGo(file.constData() + passed, file.constData() + at);
            passed = at;
        }
        const bool end = c.type == "IEND";
        chunks.append(std::move(c));
        if (end)
            return chunks;
    }
    return {};
}

QByteArray pngFile(const QList<PngChunk>& chunks)
{
    QByteArray out = Signature;
    for (const PngChunk& c : chunks) {
        appendBe32(out, quint32(c.data.size()));
        const qsizetype typeAt = out.size();
        out += c.type;
        out += c.data;
        const auto* p = reinterpret_cast<const Bytef*>(out.constData() + typeAt);
        appendBe32(out, quint32(crc32(crc32(0, nullptr, 0), p, uInt(4 + c.data.size()))));
    }
    return out;
}

QByteArray pngChunkData(const QList<PngChunk>& chunks, const char* type)
{
    for (const PngChunk& c : chunks) {
        if (c.type == type)
            return c.data;
    }
    return QByteArray();
}

bool pngColourIsSrgb(const QList<PngChunk>& chunks)
{
    bool srgb = false, gamma22 = false, otherGamma = false, chromaticities = true;
    for (const PngChunk& c : chunks) {
        if (c.type == "iCCP" || c.type == "cICP")
            return false;
        if (c.type == "sRGB")
            srgb = true;
        if (c.type == "gAMA" && c.data.size() == 4) {
            // 45455 is 1/2.2 in 1/100000.
            const quint32 g = be32(c.data, 0);
            (g >= 45000 && g <= 46000 ? gamma22 : otherGamma) = true;
        }
        if (c.type == "cHRM")
            chromaticities = srgbChromaticities(c.data);
    }
    return srgb || (gamma22 && !otherGamma && chromaticities);
}

bool pngIsAnimated(const QList<PngChunk>& chunks)
{
    for (const PngChunk& c : chunks) {
        if (c.type == "acTL")
            return true;
        if (c.type == "IDAT")
            return false;
    }
    return false;
}

bool pngIsAnimated(const QByteArray& file)
{
    // As the chunk list tells it: only a file whose chunks all lie inside it.
    if (!file.startsWith(Signature))
        return false;
    bool animated = false, pixelsSeen = false;
    for (qsizetype at = Signature.size(), passed = 0; at + 12 <= file.size();) {
        const quint32 length = be32(file, at);
        if (length > quint32(file.size() - at - 12))
            return false;
        const QByteArrayView type(file.constData() + at + 4, 4);
        animated = animated || (type == "acTL" && !pixelsSeen);
        pixelsSeen = pixelsSeen || type == "IDAT";
        if (type == "IEND")
            return animated;
        at += 12 + qsizetype(length);
        if (at - passed >= LetGoBytes) {
            SealedMapping::letGo(file.constData() + passed, file.constData() + at);
            passed = at;
        }
    }
    return false;
}
