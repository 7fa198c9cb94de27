#include "core/LoaderReply.h"

#include "core/WireReader.h"
#include "core/WireWriter.h"

QByteArray LoaderReply::encoded() const
{
    WireWriter out;
    out.putU8(done);
    out.putText(error);
    out.putU8(format);
    out.putSize(storedSize);
    out.putSize(size);
    out.putU8(orientation);
    out.putU8(damage);
    out.putU8(damageKnown);
    out.putSize(pixelsPerMetre);
    out.putU32(pages);
    out.putBytes(iccProfile);
    out.putU8(pixels.has_value());
    if (pixels)
        pixels->write(out);
    out.putU32(quint32(values.size()));
    for (const auto& [name, value] : values) {
        out.putBytes(name);
        out.putBytes(value);
    }
    out.putU32(quint32(edits.size()));
    for (const ByteEdit& edit : edits) {
        out.putI64(edit.offset);
        out.putI64(edit.removed);
        out.putBytes(edit.inserted);
    }
    out.putBytes(newFile);
    out.putU32(frames);
    out.putI32(frameDelay);
    out.putI32(plays);
    out.putU8(rewritable);
    out.putU8(needsFullLoader);
    return out.bytes();
}

std::optional<LoaderReply> LoaderReply::decoded(QByteArrayView bytes)
{
    WireReader in(bytes);
    LoaderReply r;
    r.done = in.u8() != 0;
    r.error = in.text();
    r.format = in.u8();
    r.storedSize = in.size();
    r.size = in.size();
    r.orientation = in.u8();
    r.damage = in.u8();
    r.damageKnown = in.u8() != 0;
    r.pixelsPerMetre = in.size();
    r.pages = in.u32();
    r.iccProfile = in.bytes();
    if (in.u8())
        r.pixels = PixelLayout::read(in);
    for (qsizetype n = in.count(8); n > 0 && in.ok(); --n) {
        QByteArray name = in.bytes();
        r.values.append({name, in.bytes()});
    }
    for (qsizetype n = in.count(20); n > 0 && in.ok(); --n) {
        ByteEdit edit;
        edit.offset = in.i64();
        edit.removed = in.i64();
        edit.inserted = in.bytes();
        r.edits.append(edit);
    }
    r.newFile = in.bytes();
    r.frames = in.u32();
    r.frameDelay = in.i32();
    r.plays = in.i32();
    r.rewritable = in.u8() != 0;
    r.needsFullLoader = in.u8() != 0;
    if (!in.complete())
        return std::nullopt;
    return r;
}
