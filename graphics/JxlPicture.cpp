#include "graphics/JxlPicture.h"

#include "graphics/DisplayColors.h"
#include "graphics/PictureError.h"
#include "graphics/PictureLimits.h"

#include <QLibrary>

#include <jxl/decode.h>

#include <memory>

namespace {

// libjxl is loaded with the first JPEG XL picture rather than at every start.
#define PV_JXL_FUNCTIONS(F)                                                                                  \
    F(JxlDecoderCreate)                                                                                      \
    F(JxlDecoderDestroy)                                                                                     \
    F(JxlDecoderSubscribeEvents)                                                                             \
    F(JxlDecoderSetKeepOrientation)                                                                          \
    F(JxlDecoderSetUnpremultiplyAlpha)                                                                       \
    F(JxlDecoderSetInput)                                                                                    \
    F(JxlDecoderCloseInput)                                                                                  \
    F(JxlDecoderProcessInput)                                                                                \
    F(JxlDecoderGetBasicInfo)                                                                                \
    F(JxlDecoderGetICCProfileSize)                                                                           \
    F(JxlDecoderGetColorAsICCProfile)                                                                        \
    F(JxlDecoderImageOutBufferSize)                                                                          \
    F(JxlDecoderSetImageOutBuffer)

struct JxlLibrary {
#define PV_JXL_POINTER(name) decltype(&::name) name = nullptr;
    PV_JXL_FUNCTIONS(PV_JXL_POINTER)
#undef PV_JXL_POINTER
    QString failure;
};

JxlLibrary loadJxlLibrary()
{
    JxlLibrary lib;
    QLibrary library(QStringLiteral("jxl"), QStringLiteral("0.7"));
    if (!library.load()) {
        lib.failure = library.errorString();
        return lib;
    }
#define PV_JXL_RESOLVE(name)                                                                                 \
    lib.name = reinterpret_cast<decltype(lib.name)>(library.resolve(#name));                                 \
    if (!lib.name)                                                                                           \
        lib.failure = library.errorString();
    PV_JXL_FUNCTIONS(PV_JXL_RESOLVE)
#undef PV_JXL_RESOLVE
    return lib;
}

const JxlLibrary& jxl()
{
    static const JxlLibrary lib = loadJxlLibrary();
    if (!lib.failure.isEmpty())
        throw PictureError(PictureError::Problem::Unreadable,
                           QStringLiteral("libjxl can't be loaded: %1").arg(lib.failure));
    return lib;
}

struct Decoded {
    JxlPictureInfo info;
    QImage image;
};

// Reads up to the colour encoding, and on to the first whole frame when
// `pixels` is asked for.
Decoded decode(const QByteArray& data, bool pixels)
{
    const JxlLibrary& lib = jxl();
    std::unique_ptr<JxlDecoder, decltype(lib.JxlDecoderDestroy)> dec(lib.JxlDecoderCreate(nullptr),
                                                                     lib.JxlDecoderDestroy);
    if (!dec)
        throw std::bad_alloc();
    const int events = JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | (pixels ? JXL_DEC_FULL_IMAGE : 0);
    if (lib.JxlDecoderSubscribeEvents(dec.get(), events) != JXL_DEC_SUCCESS ||
        lib.JxlDecoderSetKeepOrientation(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        lib.JxlDecoderSetUnpremultiplyAlpha(dec.get(), JXL_TRUE) != JXL_DEC_SUCCESS ||
        lib.JxlDecoderSetInput(dec.get(), reinterpret_cast<const uint8_t*>(data.constData()),
                               std::size_t(data.size())) != JXL_DEC_SUCCESS)
        throw PictureError::corrupt();
    lib.JxlDecoderCloseInput(dec.get());
    Decoded out;
    JxlBasicInfo basic{};
    JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 4};
    for (;;) {
        switch (lib.JxlDecoderProcessInput(dec.get())) {
        case JXL_DEC_BASIC_INFO: {
            if (lib.JxlDecoderGetBasicInfo(dec.get(), &basic) != JXL_DEC_SUCCESS)
                throw PictureError::corrupt();
            checkPictureSize(basic.xsize, basic.ysize);
            out.info.stored = QSize(int(basic.xsize), int(basic.ysize));
            out.info.orientation = int(basic.orientation) >= 1 && int(basic.orientation) <= 8
                                       ? int(basic.orientation)
                                       : 1;
            // Grey without alpha stays grey; anything else comes as RGBA.
            if (basic.num_color_channels == 1 && basic.alpha_bits == 0)
                format.num_channels = 1;
            break;
        }
        case JXL_DEC_COLOR_ENCODING: {
            std::size_t size = 0;
            if (lib.JxlDecoderGetICCProfileSize(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &size) ==
                    JXL_DEC_SUCCESS &&
                size > 0 && size < (std::size_t(1) << 24)) {
                QByteArray icc(qsizetype(size), '\0');
                if (lib.JxlDecoderGetColorAsICCProfile(dec.get(), nullptr, JXL_COLOR_PROFILE_TARGET_DATA,
                                                       reinterpret_cast<uint8_t*>(icc.data()),
                                                       size) == JXL_DEC_SUCCESS)
                    out.info.colorSpace = colorSpaceOfIcc(icc);
                // Only a profile Qt can read goes along, as for other kinds.
                if (out.info.colorSpace.isValid())
                    out.info.icc = icc;
            }
            if (!pixels)
                return out;
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            out.image = QImage(out.info.stored, format.num_channels == 1 ? QImage::Format_Grayscale8
                                                                         : QImage::Format_RGBA8888);
            std::size_t size = 0;
            if (out.image.isNull())
                throw std::bad_alloc();
            if (lib.JxlDecoderImageOutBufferSize(dec.get(), &format, &size) != JXL_DEC_SUCCESS ||
                size > std::size_t(out.image.sizeInBytes()) ||
                lib.JxlDecoderSetImageOutBuffer(dec.get(), &format, out.image.bits(), size) != JXL_DEC_SUCCESS)
                throw PictureError::corrupt();
            break;
        }
        case JXL_DEC_FULL_IMAGE:
            return out; // the first frame: an animation's still
        case JXL_DEC_SUCCESS:
            if (pixels && out.image.isNull())
                throw PictureError::corrupt();
            return out;
        case JXL_DEC_NEED_MORE_INPUT:
            throw PictureError::endsEarly();
        default:
            throw PictureError::corrupt();
        }
    }
}

} // namespace

JxlPictureInfo readJxlPictureInfo(const QByteArray& data)
{
    return decode(data, false).info;
}

QImage decodeJxlPicture(const QByteArray& data)
{
    return decode(data, true).image;
}
