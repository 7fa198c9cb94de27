#include "loader/CodecWarmUp.h"

#include "core/Errors.h"
#include "core/SealedBuffer.h"
#include "graphics/AnimatedPicture.h"
#include "graphics/PictureFormat.h"
#include "graphics/RawPreview.h"
#include "loader/PictureRequests.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace {

struct TinyPicture {
    const char* kind;
    PictureFormat format;
    const char* hex;
};

// 16x16 or smaller, made by the program's test builders (GIF by hand, the
// two-frame WebP by ImageMagick).
const TinyPicture TinyPictures[] = {
    {"JPEG", PictureFormat::Jpeg,
     "ffd8ffe000104a46494600010101006400640000ffdb004300100b0c0e0c0a100e0d0e1211101318281a181616183123251d"
     "283a333d3c3933383740485c4e404457453738506d51575f626768673e4d71797064785c656763ffdb004301111212181518"
     "2f1a1a2f63423842636363636363636363636363636363636363636363636363636363636363636363636363636363636363"
     "6363636363636363ffc00011080010001003012200021101031101ffc4001f00000105010101010101000000000000000001"
     "02030405060708090a0bffc400b5100002010303020403050504040000017d01020300041105122131410613516107227114"
     "328191a1082342b1c11552d1f02433627282090a161718191a25262728292a3435363738393a434445464748494a53545556"
     "5758595a636465666768696a737475767778797a838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5"
     "b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9faffc4001f010003"
     "0101010101010101010000000000000102030405060708090a0bffc400b51100020102040403040705040400010277000102"
     "031104052131061241510761711322328108144291a1b1c109233352f0156272d10a162434e125f11718191a262728292a35"
     "363738393a434445464748494a535455565758595a636465666768696a737475767778797a82838485868788898a92939495"
     "969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9bac2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae2e3e4e5e6e7e8e9ea"
     "f2f3f4f5f6f7f8f9faffda000c03010002110311003f00c5ae96b82af72a331c97d872fbf7bdfa7a79866b53fb53934e5e5b"
     "f9def6f4ec7fffd9"},
    {"BMP", PictureFormat::Bitmap,
     "424d460000000000000036000000280000000200000002000000010018000000000010000000610f0000610f000000000000"
     "00000000ff0000ffffff00000000ff00ff000000"},
    {"PNG", PictureFormat::Png,
     "89504e470d0a1a0a0000000d494844520000001000000010080200000090916836000000097048597300000f6100000f6101"
     "a83fa7690000002449444154289163fccf801d30e29060c2a11e2718d5400c606460c01ee0ff47e3819e1a0092ae051b2e8c"
     "198a0000000049454e44ae426082"},
    {"GIF", PictureFormat::Gif,
     "47494638396101000100800000000000ffffff21f90401000000002c000000000100010000020144003b"},
    {"WebP", PictureFormat::WebP,
     "524946463e000000574542505650382032000000b001009d012a1000100002c04c25a00274b70002640000fb3fff7b23eddf"
     "fff7a7b1fc5bfd6ffd626fff6d0ffe7a3ad00000"},
    {"TIFF", PictureFormat::Tiff,
     "49492a0072000000803fc00008141207058441e150b84c1a1d0d8144219138743e291283462350b8b476371b8f472411f8bc"
     "962b2392ca24326944aa312b96cb24d30994d634ff9c4e6753b9e4e66d179ed06853f8f50a8d3ba24428f4b975029946a4c3"
     "29f509a4c2a743aacdeaf3d808000e0000010300010000001000000001010300010000001000000002010300030000003001"
     "0000030103000100000005000000060103000100000002000000110104000100000008000000120103000100000001000000"
     "1501030001000000030000001601040001000000555501001701040001000000690000001a01050001000000200100001b01"
     "050001000000280100001c010300010000000100000028010300010000000200000000000000640000000100000064000000"
     "01000000080008000800"},
    {"animated WebP", PictureFormat::WebP,
     "524946468400000057454250565038580a00000002000000010000010000414e494d06000000ffffffff0000414e4d462800"
     "0000000000000000010000010000640000025650384c0f0000002f014000000710fd8ffe0722a2ff0100414e4d4628000000"
     "000000000000010000010000640000005650384c0f0000002f014000000710d1fffe0722a2ff0100"},
    {"icon", PictureFormat::Icon,
     "0000010001000202000001002000400000001600000028000000020000000400000001002000000000001800000000000000"
     "000000000000000000000000ff0000ffffffffff0000ffff00ff00ff3f5500003fde085c"},
    {"HEIC", PictureFormat::Heif,
     "0000001c6674797068656963000000006d696631686569636d696166000001ae6d657461000000000000002168646c720000"
     "00000000000070696374000000000000000000000000000000000e7069746d00000000000200000010696461740000000000"
     "10001000000038696c6f630100000044400002000100000000000001d2000100000000000000f30002000100000000000000"
     "0100000000000000080000003869696e6600000000000200000015696e66650200000100010000687663310000000015696e"
     "666502000000000200006772696400000000d969707270000000b76970636f00000077687663430104080000000000000000"
     "001ef000fcfff8f800000f03200001001740010c01ffff0408000003009e3800000300001eba0240210001002a4201010408"
     "000003009e3800000300001e90041020b2dd55d35cdc08081810000003001000000300108022000100084401c17318301890"
     "0000001469737065000000000000004000000040000000146973706500000000000000100000001000000010706978690000"
     "0000030808080000001a69706d610000000000000002000102810200020203840000001a69726566000000000000000e6469"
     "6d67000200010001000000fb6d646174000000ef2801af06b21f2ad53066d681c77ef883fffdf57f21e771cb53ee5780ffd0"
     "c5fffa2eca474ef00d7fca17fff7b971d783b491afda05636ba7d72effd9b7b6b20978526880f74ed3898d7d461f3457f34b"
     "1280564469f513ec4b040f88ec975b545f337450ecd4be92916eaccbf63b4aa5cad3ed230a3f21132dcd5ba042f3b5fc5ab1"
     "946411c270005391d449993f6ec64c8d9d24c83ed4fd712b19a8a0b10cd9a4fa03e6399ded9bdf15570a9d43fab904100013"
     "ebb11d7369e94a0f457a4bb61ef54dd2e0abc0a337f3bd09fc3d3e44227d6b6e04cf5cb7a4ec5d000b6afe7e260de0404d6f"
     "a0a2082dff817dc8c8"},
    {"AVIF", PictureFormat::Avif,
     "0000001c667479706176696600000000617669666d6966316d696166000000ea6d657461000000000000002168646c720000"
     "00000000000070696374000000000000000000000000000000000e7069746d00000000000100000022696c6f630000000044"
     "400001000100000000010e0001000000000000002a0000002369696e6600000000000100000015696e666502000000000100"
     "0061763031000000006a697072700000004b6970636f00000013636f6c726e636c78000200020006800000000c6176314381"
     "2002000000001469737065000000000000001000000010000000107069786900000000030808080000001769706d61000000"
     "000000000100010481820384000000326d64617412000a08380cffd8408081a4321c44300000147fba5bdd381b9f2b8c1b29"
     "f58b848e18033462e9f7dbc0"},
    {"JPEG XL", PictureFormat::JpegXl,
     "ff0a081010090802010074004b188b15525c1f9a7109868174a33d4c760051fcb15cfbcfb6fcf7db7c"},
    {"SVG", PictureFormat::Svg,
     "3c73766720786d6c6e733d22687474703a2f2f7777772e77332e6f72672f323030302f737667222077696474683d22322220"
     "6865696768743d2232223e3c726563742077696474683d223222206865696768743d2232222066696c6c3d22726564222f3e"
     "3c2f7376673e"},
};

bool decodes(const QByteArray& bytes, const char* kind, DecodeShape shape)
{
    SealedBuffer file(bytes.size());
    std::memcpy(file.data(), bytes.constData(), size_t(bytes.size()));
    std::vector<UniqueFd> fds;
    fds.push_back(file.seal());
    LoaderRequest request;
    request.task = LoaderTask::Decode;
    request.name = QLatin1String(kind);
    request.shape = shape;
    request.size = QSize(1, 1); // a JPEG's scaled decode
    // Before the seal the loader may make its own memory.
    return answerPictureRequest(request, fds, SealedBuffer::toGive).reply.done;
}

// The kinds read by the libraries the loader links (Qt's own plugins for
// GIF and icons): loading nothing more, a lean loader is ready at once.
bool leanKind(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Unknown:
    case PictureFormat::Jpeg:
    case PictureFormat::Bitmap:
    case PictureFormat::Png:
    case PictureFormat::Gif:
    case PictureFormat::WebP:
    case PictureFormat::Tiff:
    case PictureFormat::Icon:
        return true;
    default:
        return false;
    }
}

// Animated WebP plays through libwebpdemux, which only a full loader loads.
bool leanPlays(PictureFormat format)
{
    return format == PictureFormat::Gif || format == PictureFormat::Png;
}

} // namespace

bool leanLoaderReads(const LoaderRequest& request, int fd)
{
    // Only the kinds written back, or JPEG's rows.
    if (request.task == LoaderTask::Rewrite || request.task == LoaderTask::Rows)
        return true;
    PictureFormat format = PictureFormat(request.format);
    if (format == PictureFormat::Unknown && fd >= 0) {
        QByteArray head(PictureFormatHeadBytes, '\0');
        const ssize_t got = ::pread(fd, head.data(), size_t(head.size()), 0);
        head.truncate(std::max<qsizetype>(got, 0));
        try {
            format = pictureFormatOf(head, request.name);
        } catch (const AppError&) {
            return true; // no reader at all: told alike by either loader
        }
    }
    return request.task == LoaderTask::Frame ? leanPlays(format) : leanKind(format);
}

QStringList warmUpCodecs(LoaderReaders readers)
{
    const bool lean = readers == LoaderReaders::Lean;
    QStringList failed;
    // No RAW is small enough to keep here: its library is loaded by itself.
    if (!lean && !loadCameraRawLibrary())
        failed << QStringLiteral("camera RAW");
    for (const TinyPicture& tiny : TinyPictures) {
        const bool animatedWebp = std::strcmp(tiny.kind, "animated WebP") == 0;
        if (lean && (!leanKind(tiny.format) || animatedWebp))
            continue;
        const QByteArray bytes = QByteArray::fromHex(tiny.hex);
        if (!decodes(bytes, tiny.kind, DecodeShape::Whole) ||
            !decodes(bytes, tiny.kind, DecodeShape::Covering))
            failed << QLatin1String(tiny.kind);
        // libavif plays AVIF sequences, libwebpdemux animated WebP: loaded
        // by reading the picture as one.
        const bool avif = std::strcmp(tiny.kind, "AVIF") == 0;
        if (avif || animatedWebp) {
            try {
                AnimatedPicture::open(bytes, avif ? PictureFormat::Avif : PictureFormat::WebP);
            } catch (const AppError&) {
                failed << (avif ? QStringLiteral("AVIF sequences") : QLatin1String(tiny.kind));
            }
        }
    }
    return failed;
}
