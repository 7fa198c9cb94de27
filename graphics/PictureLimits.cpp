#include "graphics/PictureLimits.h"

#include "graphics/PictureError.h"

bool pictureSizeAllowed(qint64 width, qint64 height) noexcept
{
    if (width <= 0 || height <= 0 || width > 0x7fffffff || height > 0x7fffffff)
        return false;
    return std::uint64_t(width) * std::uint64_t(height) <= pictureByteLimit() / 4;
}

void checkPictureSize(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0)
        throw PictureError::corrupt(QStringLiteral("it says it holds no pixels"));
    if (!pictureSizeAllowed(width, height))
        throw PictureError::tooLarge(width, height);
}
