// Pictures read in a loader process come back as this process reads
// them, from every kind; the pool serves many threads at once, replaces
// its loaders, and the loaders hold the confinement the kernel offers.
#include "graphics/PictureLoaders.h"
#include "core/Errors.h"
#include "core/KernelConfinement.h"
#include "core/RegularFile.h"
#include "core/SealedBuffer.h"
#include "graphics/JpegCodec.h"
#include "graphics/Picture.h"
#include "loader/PictureRequests.h"

#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/KindPictures.h"

#include "core/MetadataKeys.h"

#include <QColorSpace>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>

namespace {

PictureLoaders::Options loaderOptions(bool inProcess = false)
{
    PictureLoaders::Options options;
    options.inProcess = inProcess;
    options.program = QStringLiteral(PV_BINARY_DIR) +
                      QLatin1String(inProcess ? "/libpictavo-loader-inprocess.so" : "/pictavo-loader");
    return options;
}

PictureLoaders& sharedPool()
{
    static PictureLoaders pool(loaderOptions());
    return pool;
}

LoaderRequest decodeRequest(DecodeShape shape = DecodeShape::Whole, QSize size = {})
{
    LoaderRequest request;
    request.task = LoaderTask::Decode;
    request.shape = shape;
    request.size = size;
    return request;
}

// Palette and one-bit images come from a loader as 32-bit ones, and so do
// 24-bit ones sent to be drawn; no image comes tagged with a colour space.
QImage asSent(QImage image, bool toDraw = false)
{
    if (image.format() <= QImage::Format_Indexed8 || (toDraw && image.format() == QImage::Format_BGR888))
        image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.setColorSpace(QColorSpace());
    return image;
}

// What this process makes of the file, to hold the loader's answer to.
struct Expected {
    Picture picture;
    QImage image;
    QString error;
};

Picture pictureHere(const QString& path)
{
    const QByteArray bytes = RegularFile(path).readAll();
    return Picture::readHere(bytes, pictureFormatOf(bytes.left(PictureFormatHeadBytes), path),
                             ExifOrientation::Apply, path);
}

Expected readHere(const QString& path, const LoaderRequest& request)
{
    Expected e;
    e.error = errorText([&] {
        e.picture = pictureHere(path);
        // The rows ask covering decodes in display colours, as the viewer does.
        const QImage image = request.shape == DecodeShape::Whole
                                 ? (request.displayColors ? e.picture.inDisplayColors(e.picture.toImage())
                                                          : e.picture.toImage())
                                 : e.picture.decodedCovering(request.size, true);
        e.image = asSent(image, request.shape != DecodeShape::Whole);
    });
    return e;
}

void expectSameAnswer(PictureLoaders& pool, const QString& path, const LoaderRequest& request,
                      bool refused = false)
{
    const Expected expected = readHere(path, request);
    ASSERT_EQ(expected.error.isEmpty(), !refused) << qPrintable(expected.error);
    LoaderAnswer answer;
    const QString error = errorText([&] { answer = pool.ask(path, request); });
    ASSERT_EQ(error, expected.error);
    if (!error.isEmpty())
        return;
    EXPECT_EQ(answer.image.format(), expected.image.format());
    EXPECT_TRUE(answer.image == expected.image)
        << "pixels differ, " << answer.image.width() << "x" << answer.image.height();
    const LoaderReply& r = answer.reply;
    EXPECT_EQ(r.format, quint8(expected.picture.format()));
    EXPECT_EQ(r.size, expected.picture.size());
    EXPECT_EQ(r.orientation, expected.picture.orientation());
    EXPECT_EQ(r.damage, quint8(expected.picture.knownDamage()));
    EXPECT_EQ(r.iccProfile, expected.picture.iccProfile());
}

struct KindCase {
    const char* name;
    const char* corpus;   // a file of the corpus, or
    QByteArray (*make)(); // bytes made here
    DecodeShape shape;
    QSize size;
    bool refused = false;
    bool displayColors = false;
};

QByteArray truncatedJpeg()
{
    const QByteArray jpeg = fileBytes(QStringLiteral(PV_CORPUS_DIR "/jpeg/testorig.jpg"));
    return jpeg.left(jpeg.size() / 2);
}

using S = DecodeShape;
// clang-format off
const KindCase KindCases[] = {
    {"JpegWhole", "jpeg/testorig.jpg", nullptr, S::Whole, {}},
    {"JpegScaled", "camera/DSCN0010.jpg", nullptr, S::Covering, {160, 120}, false, true},
    {"JpegEndsEarly", nullptr, truncatedJpeg, S::Whole, {}},
    {"Bitmap", "bmpsuite/g/pal8.bmp", nullptr, S::Whole, {}},
    {"BitmapRefused", "bmpsuite/b/badbitcount.bmp", nullptr, S::Whole, {}, true},
    {"Png", "bmpsuite/html/rgb24.png", nullptr, S::Whole, {}},
    {"Gif", "more/gif-anim-rotating-squares.gif", nullptr, S::Whole, {}},
    {"WebP", "more/webp-anim-lossy-random.webp", nullptr, S::Whole, {}},
    {"WebPTurned", nullptr, [] { return kinds::webp(kinds::quadrants(8, 6), kinds::exifBlock(false, 6)); }, S::Whole, {}},
    {"Tiff", "more/tiff-multipage-fax-g3.tif", nullptr, S::Whole, {}},
    {"TiffTurned", nullptr, [] { return kinds::tiff(kinds::quadrants(8, 6), 8); }, S::Whole, {}},
    {"Icon", nullptr, [] { return kinds::encoded(kinds::quadrants(16, 16, QImage::Format_ARGB32), "ico"); }, S::Whole, {}},
    {"HeicInDisplayColors", "camera/IMG_5195.HEIC", nullptr, S::Covering, {400, 300}, false, true},
    {"HeicTurned", nullptr, [] { return kinds::heif(kinds::quadrants(64, 48), false, 6); }, S::Whole, {}},
    {"Avif", "more/avif-anim-8bpc.avif", nullptr, S::Whole, {}},
    {"CameraRawPreview", "more/canon-eos-r6-pruned.cr3", nullptr, S::Covering, {400, 300}},
    {"CameraRawDeveloped", "more/raw-kodak-dc50.kdc", nullptr, S::Whole, {}},
    {"CameraRawWithoutPreview", "more/exiftool-canon-350d.cr2", nullptr, S::Whole, {}, true},
    {"JpegXl", "more/jxl-lossless-patches.jxl", nullptr, S::Whole, {}},
    {"SvgDrawnLarger", "more/svg-w3c-check.svg", nullptr, S::Covering, {400, 400}},
};
// clang-format on

class LoaderReadsEveryKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(LoaderReadsEveryKind, AsThisProcessDoes)
{
    const KindCase& c = GetParam();
    QTemporaryDir dir;
    QString path = QStringLiteral(PV_CORPUS_DIR "/") + QLatin1String(c.corpus ? c.corpus : "");
    if (c.make) {
        path = dir.filePath(QStringLiteral("picture"));
        ASSERT_TRUE(putBytes(path, c.make()));
    }
    LoaderRequest request = decodeRequest(c.shape, c.size);
    request.displayColors = c.displayColors;
    expectSameAnswer(sharedPool(), path, request, c.refused);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LoaderReadsEveryKind, ::testing::ValuesIn(KindCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A tile near a giant picture's top reads the file up to it, not a copy of
// it all, and holds nothing like its whole frame (16 MiB here) on the way.
TEST(PictureLoaders, ARegionReadsOnlyTheFileUpToIt)
{
    QImage noise(1024, 4096, QImage::Format_RGB32);
    std::mt19937 random(3);
    for (int y = 0; y < noise.height(); ++y)
        std::generate_n(reinterpret_cast<QRgb*>(noise.scanLine(y)), noise.width(), std::ref(random));
    const QImage rgb = noise.convertToFormat(QImage::Format_RGB888);
    kinds::TiffLayout oneStrip;
    oneStrip.width = rgb.width();
    oneStrip.height = rgb.height();
    const std::pair<PictureFormat, QByteArray> files[] = {
        {PictureFormat::Jpeg, encodeJpeg(Bitmap24::fromImage(noise))},
        {PictureFormat::Png, kinds::encoded(noise, "png")},
        {PictureFormat::WebP, kinds::encoded(noise, "webp", 90)}, // lossy: lossless holds the frame
        {PictureFormat::Tiff, kinds::tiff(noise, 1)},
        // One strip of it all: read up to the band, from the file in place.
        {PictureFormat::Tiff,
         kinds::tiffOf(oneStrip,
                       QByteArray(reinterpret_cast<const char*>(rgb.constBits()), rgb.sizeInBytes()))},
    };
    for (const auto& [format, file] : files) {
        SealedBuffer copy(file.size());
        std::memcpy(copy.data(), file.constData(), std::size_t(file.size()));
        std::vector<UniqueFd> fds;
        fds.push_back(copy.seal());
        LoaderRequest r = decodeRequest(DecodeShape::Band, QSize(1, 1));
        r.format = quint8(format);
        r.region = QRect(0, 0, 128, 32);
        ASSERT_TRUE(putBytes("/proc/self/clear_refs", "5")); // the peak starts again from here
        const qint64 before = procNumber("/proc/thread-self/io", "rchar:");
        [[maybe_unused]] const qint64 held = procNumber("/proc/self/status", "VmHWM:");
        const OutgoingReply out =
            answerPictureRequest(r, fds, [](qint64 size) { return SealedBuffer::toGive(size); });
        const int kind = int(format);
        EXPECT_LT(procNumber("/proc/thread-self/io", "rchar:") - before, file.size() / 4) << kind;
#if !defined(__SANITIZE_ADDRESS__) // its quarantine keeps freed blocks resident
        EXPECT_LT(procNumber("/proc/self/status", "VmHWM:") - held, 16 * 1024 / 4) << kind << " KiB";
#endif
        ASSERT_TRUE(out.reply.done && out.reply.pixels) << kind;
        EXPECT_EQ(out.reply.pixels->region, r.region) << kind;
    }
}

TEST(PictureLoaders, InProcessModeAnswersTheSame)
{
    PictureLoaders pool(loaderOptions(true));
    expectSameAnswer(pool, QStringLiteral(PV_CORPUS_DIR "/jpeg/testorig.jpg"), decodeRequest());
}

TEST(PictureLoaders, ServeManyThreadsAtOnce)
{
    PictureLoaders::Options options = loaderOptions();
    options.loaders = 2;
    PictureLoaders pool(options);
    const QString paths[] = {QStringLiteral(PV_CORPUS_DIR "/bmpsuite/g/rgb24.bmp"),
                             QStringLiteral(PV_CORPUS_DIR "/bmpsuite/html/rgb24.png")};
    const QImage expected[] = {asSent(pictureHere(paths[0]).toImage()),
                               asSent(pictureHere(paths[1]).toImage())};
    std::atomic<int> right = 0;
    auto work = [&](int first) {
        for (int i = 0; i < 6; ++i) {
            const int which = (first + i) % 2;
            const QImage got = pool.ask(paths[which], decodeRequest()).image;
            if (got == expected[which])
                ++right;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back(work, t);
    work(1); // this thread too
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(right, 24);
    EXPECT_EQ(pool.loadersStarted(), 2);
}

// The first file waits for the loader started ahead rather than start
// another; each loader is replaced after its files.
TEST(PictureLoaders, TakeTheLoaderStartedAheadAndReplaceEachAfterItsFiles)
{
    PictureLoaders::Options options = loaderOptions();
    options.loaders = 2;
    options.filesPerLoader = 3;
    PictureLoaders pool(options);
    const QString path = QStringLiteral(PV_CORPUS_DIR "/bmpsuite/g/rgb24.bmp");
    pool.startAhead();
    pool.ask(path, decodeRequest());
    EXPECT_EQ(pool.loadersStarted(), 1);
    for (int i = 1; i < 7; ++i)
        pool.ask(path, decodeRequest());
    EXPECT_EQ(pool.loadersStarted(), 3);
}

// Loaders start lean: a picture of a kind they have no reader for, told by
// the caller or found by the lean loader, goes to a full loader, which
// takes the lean one's place, as do those after it. A loader started ahead
// for a first picture of such a kind reads that kind too (its libraries
// loaded before its confinement) and stays lean.
TEST(PictureLoaders, AKindLeanLoadersLackIsReadByTheFullLoaderThatReplacesThem)
{
    const QString bmp = QStringLiteral(PV_CORPUS_DIR "/bmpsuite/g/rgb24.bmp"),
                  svg = QStringLiteral(PV_CORPUS_DIR "/more/svg-w3c-check.svg");
    const struct {
        PictureFormat first;
        const char* file;
    } starts[] = {{PictureFormat::Unknown, nullptr},
                  {PictureFormat::JpegXl, "/more/jxl-lossless-patches.jxl"},
                  {PictureFormat::CameraRaw, "/more/canon-eos-r6-pruned.cr3"},
                  {PictureFormat::Heif, "/camera/IMG_5195.HEIC"},
                  {PictureFormat::Avif, "/more/avif-anim-8bpc.avif"}};
    for (const auto& start : starts)
        for (const bool told : {false, true}) {
            PictureLoaders::Options options = loaderOptions();
            options.loaders = 1;
            PictureLoaders pool(options);
            pool.startAhead(start.first);
            const auto request = [told](PictureFormat format) {
                LoaderRequest r = decodeRequest();
                r.format = quint8(told ? format : PictureFormat::Unknown);
                return r;
            };
            QList<std::pair<QString, LoaderRequest>> asked{{bmp, decodeRequest()}};
            if (start.file)
                asked << std::pair(QLatin1String(PV_CORPUS_DIR) + QLatin1String(start.file),
                                   request(start.first))
                      << asked.front();
            asked << std::pair(svg, request(PictureFormat::Svg)) << asked.front() << asked.back();
            bool svgAsked = false;
            for (const auto& [path, r] : asked) {
                EXPECT_FALSE(pool.ask(path, r).image.isNull()) << told << qPrintable(path);
                // Only the SVG needs another loader.
                svgAsked = svgAsked || path == svg;
                EXPECT_EQ(pool.loadersStarted(), svgAsked ? 2 : 1) << told << qPrintable(path);
            }
        }
}

// The camera's values as the loader reads them, each against exiftool's
// reading of the same file (numbers as numbers): every value exiftool
// finds is there and equal, and there is none it lacks.
class LoaderReadsCameraValues : public ::testing::TestWithParam<const char*> {};

TEST_P(LoaderReadsCameraValues, AsExiftoolDoes)
{
    namespace k = metadatakey;
    // clang-format off
    const std::pair<const char*, const char*> names[] = {
        {k::DateTaken, "DateTimeOriginal"}, {k::Make, "Make"}, {k::Model, "Model"}, {k::Lens, "LensModel"},
        {k::ExposureTime, "ExposureTime"}, {k::FNumber, "FNumber"}, {k::Iso, "ISO"},
        {k::FocalLength, "FocalLength"}, {k::FocalLength35, "FocalLengthIn35mmFormat"}, {k::Flash, "Flash"},
        {k::Latitude, "GPSLatitude"}, {k::Longitude, "GPSLongitude"}, {k::Altitude, "GPSAltitude"}};
    // clang-format on
    const QString path = QStringLiteral(PV_CORPUS_DIR "/camera/") + QLatin1String(GetParam());
    QStringList args{QStringLiteral("-j"), QStringLiteral("-n")};
    for (const auto& n : names) // EXIF's own values; GPS's signed as the composite tells them
        args << (QLatin1String(n.second).startsWith(QLatin1String("GPS")) ? QStringLiteral("-Composite:")
                                                                          : QStringLiteral("-EXIF:")) +
                    QLatin1String(n.second);
    QProcess exiftool;
    exiftool.start(QStringLiteral("exiftool"), args << path);
    if (!exiftool.waitForFinished(60000) || exiftool.exitCode() != 0)
        GTEST_SKIP() << "exiftool is not installed";
    const QJsonObject expected = QJsonDocument::fromJson(exiftool.readAllStandardOutput())[0].toObject();

    LoaderRequest request;
    request.task = LoaderTask::Metadata;
    for (const auto& n : names)
        request.keys << n.first;
    QMap<QByteArray, QByteArray> got;
    for (const auto& [key, value] : sharedPool().ask(path, request).reply.values)
        got.insert(key, value);
    for (const auto& [key, tag] : names) {
        const QJsonValue e = expected.value(QLatin1String(tag));
        if (e.isUndefined() || (e.isString() && e.toString().trimmed().isEmpty())) {
            EXPECT_FALSE(got.contains(key)) << key;
            continue;
        }
        const QByteArray v = got.value(key);
        if (e.isString()) {
            EXPECT_EQ(QString::fromUtf8(v), e.toString()) << key;
            continue;
        }
        const QList<QByteArray> parts = v.split('/');
        const double number = parts.size() == 2 ? parts[0].toDouble() / parts[1].toDouble() : v.toDouble();
        EXPECT_NEAR(number, e.toDouble(), 1e-9 * std::max(1.0, std::abs(e.toDouble())))
            << key << " " << v.data();
    }
}

INSTANTIATE_TEST_SUITE_P(Camera, LoaderReadsCameraValues,
                         ::testing::Values("DSCN0010.jpg", "IMG_5195.HEIC", "canon-ixus.jpg",
                                           "BlueSquare.jpg", "long_description.jpg"));

TEST(PictureLoaders, LoaderHoldsTheConfinementTheKernelOffers)
{
    LoaderProcess::Settings settings;
    settings.program = loaderOptions().program;
    const LoaderProcess loader(settings);
    const KernelConfinement kernel = KernelConfinement::probe();
    EXPECT_EQ(loader.greeting().systemCallFilter, kernel.systemCallFilter);
    EXPECT_EQ(loader.greeting().landlockAbi, kernel.landlockAbi);
    EXPECT_EQ(loader.greeting().landlock, kernel.landlockAbi > 0);
}

} // namespace
