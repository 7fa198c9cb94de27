#include "core/PixelLayout.h"

void PixelLayout::write(WireWriter& out) const
{
    out.putSize(size);
    out.putI32(bytesPerLine);
    out.putU32(format);
    out.putRect(region);
}

PixelLayout PixelLayout::read(WireReader& in)
{
    PixelLayout layout;
    layout.size = in.size();
    layout.bytesPerLine = in.i32();
    layout.format = in.u32();
    layout.region = in.rect();
    return layout;
}
