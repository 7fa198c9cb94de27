#include "graphics/WebpFirstFrame.h"

#include <QList>
#include <QtEndian>

namespace {

struct Chunk {
    QByteArray type;
    qsizetype at = 0; // of its data
    qsizetype size = 0;
};

// RIFF chunks in `data` from `at` to `end`: four letters, a little-endian
// size, the data padded to an even length.
QList<Chunk> chunks(const QByteArray& data, qsizetype at, qsizetype end)
{
    QList<Chunk> out;
    while (at + 8 <= end) {
        const quint32 size = qFromLittleEndian<quint32>(data.constData() + at + 4);
        if (size > quint32(end - at - 8))
            break;
        out.append({data.mid(at, 4), at + 8, qsizetype(size)});
        at += 8 + qsizetype(size) + (size & 1);
    }
    return out;
}

quint32 little24(const QByteArray& data, qsizetype at)
{
    const auto* u = reinterpret_cast<const uchar*>(data.constData() + at);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16;
}

void put24(char* at, quint32 value)
{
    for (int i = 0; i < 3; ++i)
        at[i] = char(value >> (8 * i));
}

void append(QByteArray& out, const char* type, QByteArrayView body)
{
    out += type;
    char size[4];
    qToLittleEndian<quint32>(quint32(body.size()), size);
    out.append(size, 4).append(body.data(), body.size());
    if (body.size() & 1)
        out += '\0';
}

} // namespace

QByteArray webpFirstFrame(const QByteArray& data)
{
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WEBP")
        return QByteArray();
    const QList<Chunk> top = chunks(data, 12, data.size());
    if (top.isEmpty() || top.front().type != "VP8X" || top.front().size < 10)
        return QByteArray();
    const qsizetype header = top.front().at;
    const quint32 width = little24(data, header + 4) + 1, height = little24(data, header + 7) + 1;
    QByteArrayView icc;
    for (const Chunk& c : top) {
        if (c.type == "ICCP")
            icc = QByteArrayView(data).sliced(c.at, c.size);
        if (c.type != "ANMF")
            continue;
        // Where the frame lies (x and y in pixel pairs), then its own chunks.
        if (c.size < 16 || little24(data, c.at) != 0 || little24(data, c.at + 3) != 0 ||
            little24(data, c.at + 6) + 1 != width || little24(data, c.at + 9) + 1 != height)
            return QByteArray();
        QByteArray still, body;
        QByteArrayView alpha;
        for (const Chunk& f : chunks(data, c.at + 16, c.at + c.size)) {
            const QByteArrayView bytes = QByteArrayView(data).sliced(f.at, f.size);
            if (f.type == "ALPH")
                alpha = bytes;
            else if (f.type == "VP8 " || f.type == "VP8L")
                append(body, f.type.constData(), bytes);
        }
        if (body.isEmpty())
            return QByteArray();
        QByteArray extended(10, '\0');
        extended[0] = char((icc.isEmpty() ? 0 : 0x20) | (alpha.isEmpty() && !body.startsWith("VP8L") ? 0 : 0x10));
        put24(extended.data() + 4, width - 1);
        put24(extended.data() + 7, height - 1);
        append(still, "VP8X", extended);
        if (!icc.isEmpty())
            append(still, "ICCP", icc);
        if (!alpha.isEmpty())
            append(still, "ALPH", alpha);
        still += body;
        QByteArray riff("RIFF\0\0\0\0WEBP", 12);
        qToLittleEndian<quint32>(quint32(4 + still.size()), riff.data() + 4);
        return riff + still;
    }
    return QByteArray();
}
