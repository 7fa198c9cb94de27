// SVG through Qt SVG's plugin, drawn at its own size and at others.
#include "fuzz/FuzzShownKind.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzzShownKind(data, size, PictureFormat::Svg);
}
