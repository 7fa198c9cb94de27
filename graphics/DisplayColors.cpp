#include "graphics/DisplayColors.h"

#include <map>

namespace {
const QByteArray IccMarker("ICC_PROFILE\0", 12);
constexpr qsizetype IccChunkBytes = 65519; // what an APP2 segment holds after the marker
} // namespace

bool needsConversion(const QColorSpace& space)
{
    return space.isValid() && !(space.primaries() == QColorSpace::Primaries::SRgb &&
                                space.transferFunction() == QColorSpace::TransferFunction::SRgb);
}

QImage displayColors(QImage stored, const QColorSpace& space)
{
    if (stored.isNull() || !needsConversion(space))
        return stored;
    // In place where the pixels are not shared: a new frame costs as much
    // again in fresh memory.
    stored.setColorSpace(space);
    stored.convertToColorSpace(QColorSpace::SRgb);
    return stored;
}

QColorSpace colorSpaceOfIcc(const QByteArray& icc)
{
    // Qt warns about every profile it can't read; an absent one is no news.
    if (icc.size() < 132)
        return QColorSpace();
    return QColorSpace::fromIccProfile(icc);
}

QByteArray iccFromJpegSegments(const QList<JpegSegment>& segments)
{
    std::map<int, QByteArray> parts;
    int count = 0;
    for (const JpegSegment& s : segments) {
        const QByteArray& p = s.payload;
        if (s.marker != 0xE2 || p.size() < 14 || !p.startsWith(IccMarker))
            continue;
        count = quint8(p[13]);
        parts.emplace(quint8(p[12]), p.mid(14));
    }
    if (count == 0 || int(parts.size()) != count)
        return QByteArray();
    QByteArray icc;
    for (const auto& [number, data] : parts)
        icc += data;
    return icc;
}

QList<JpegSegment> iccToJpegSegments(const QByteArray& icc)
{
    QList<JpegSegment> out;
    const qsizetype count = (icc.size() + IccChunkBytes - 1) / IccChunkBytes;
    if (icc.isEmpty() || count > 255)
        return out;
    for (qsizetype i = 0; i < count; ++i) {
        QByteArray p = IccMarker;
        p += char(i + 1);
        p += char(count);
        p += icc.mid(i * IccChunkBytes, IccChunkBytes);
        out.append({0xE2, p});
    }
    return out;
}
