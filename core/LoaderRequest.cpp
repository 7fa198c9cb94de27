#include "core/LoaderRequest.h"

#include "core/WireReader.h"
#include "core/WireWriter.h"

QByteArray LoaderRequest::encoded() const
{
    WireWriter out;
    out.putU8(quint8(task));
    out.putText(name);
    out.putU8(format);
    out.putU8(applyOrientation);
    out.putU8(displayColors);
    out.putU8(wholeDamage);
    out.putU8(quint8(shape));
    out.putSize(size);
    out.putRect(region);
    out.putU32(quint32(keys.size()));
    for (const QByteArray& key : keys)
        out.putBytes(key);
    out.putU8(quint8(rewrite));
    out.putI32(angle);
    out.putU8(pixels.has_value());
    if (pixels)
        pixels->write(out);
    out.putBytes(arguments);
    out.putU32(frame);
    return out.bytes();
}

std::optional<LoaderRequest> LoaderRequest::decoded(QByteArrayView bytes)
{
    WireReader in(bytes);
    LoaderRequest r;
    r.task = LoaderTask(in.u8());
    r.name = in.text();
    r.format = in.u8();
    r.applyOrientation = in.u8() != 0;
    r.displayColors = in.u8() != 0;
    r.wholeDamage = in.u8() != 0;
    const quint8 shape = in.u8();
    r.size = in.size();
    r.region = in.rect();
    for (qsizetype n = in.count(4); n > 0 && in.ok(); --n)
        r.keys.append(in.bytes());
    const quint8 rewrite = in.u8();
    r.angle = in.i32();
    if (in.u8())
        r.pixels = PixelLayout::read(in);
    r.arguments = in.bytes();
    r.frame = in.u32();
    if (!in.complete() || shape > quint8(DecodeShape::Last) || rewrite > quint8(RewriteKind::Last))
        return std::nullopt;
    r.shape = DecodeShape(shape);
    r.rewrite = RewriteKind(rewrite);
    return r;
}
