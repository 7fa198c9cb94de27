// JPEG XL through libjxl: its header, colour profile and first frame.
#include "fuzz/FuzzShownKind.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzzShownKind(data, size, PictureFormat::JpegXl);
}
