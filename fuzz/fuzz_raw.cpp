// Camera RAW files: the embedded JPEG previews found and checked whole, LibRaw's
// orientation, bitmap thumbnail and half-size development.
#include "fuzz/FuzzShownKind.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzzShownKind(data, size, PictureFormat::CameraRaw);
}
