#include "core/LoaderGreeting.h"

#include "core/WireReader.h"
#include "core/WireWriter.h"

QByteArray LoaderGreeting::encoded() const
{
    WireWriter out;
    out.putU32(version);
    out.putU8(systemCallFilter);
    out.putI32(landlockAbi);
    out.putU8(landlock);
    return out.bytes();
}

std::optional<LoaderGreeting> LoaderGreeting::decoded(QByteArrayView bytes)
{
    WireReader in(bytes);
    LoaderGreeting g;
    g.version = in.u32();
    g.systemCallFilter = in.u8() != 0;
    g.landlockAbi = in.i32();
    g.landlock = in.u8() != 0;
    if (!in.complete())
        return std::nullopt;
    return g;
}
