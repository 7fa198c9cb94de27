// The engine's bridge to picture files, apart so that pixel-only users of
// the engine do not pull in the codecs.
#include "effects/EffectRenderer.h"

#include "graphics/Picture.h"

void EffectRenderer::setPictureOriginal(const ::Picture& picture)
{
    if (picture.isEmpty())
        clearPictureOriginal();
    else
        setPictureOriginal(picture.toBitmap24());
}
