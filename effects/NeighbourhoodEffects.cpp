// The neighbourhood and geometric routines as the effect table runs them.
#include "effects/EffectTable.h"
#include "effects/PixelRoutines.h"

#include <algorithm>

void EmbossEffect(Bitmap24& target, const Bitmap24&, int, const RenderStop&)
{
    EmbossBitmap(target);
}

void MosaicEffect(Bitmap24& target, const Bitmap24&, int value, const RenderStop&)
{
    // A block larger than the picture is the picture: the limit changes nothing here.
    MosaicBitmap(target, value);
}

int MosaicLimit(int value, int width, int height)
{
    return std::min(value, std::max(width, height));
}

void SplitBlurEffect(Bitmap24& target, const Bitmap24&, int value, const RenderStop&)
{
    SplitBlurBitmap(target, value);
}

void GaussianBlurEffect(Bitmap24& target, const Bitmap24&, int value, const RenderStop& stop)
{
    for (int pass = 0; pass <= value; ++pass) {
        stop.check();
        SplitBlurBitmap(target, 3);
    }
}

void AntiAliasEffect(Bitmap24& target, const Bitmap24&, int value, const RenderStop& stop)
{
    for (int pass = 0; pass < value; ++pass) {
        stop.check();
        AntiAliasBitmap(target, 0, 0, target.width(), target.height());
    }
}

void TraceEffect(Bitmap24& target, const Bitmap24&, int value, const RenderStop&)
{
    TraceBitmap(target, value);
}

// The tiles come from the value as set: the count a picture keeps is no
// longer the one its layout was made from.
void TileEffect(Bitmap24& target, const Bitmap24& original, int value, const RenderStop&)
{
    BuildTiles(original, TileLayoutFor(value, original.width(), original.height()), target);
}

int TileLimit(int value, int width, int height)
{
    return TileLayoutFor(value, width, height).count;
}
