// The program with one giant picture, timed from the launching shell's
// clock (PICTAVO_T0, nanoseconds since the epoch, taken just before exec):
//   giant_probe make OUT.jpg|png|ipng|webp|tif WIDTH HEIGHT   writes a
//       photo-like picture of the kind the name ends in (ipng: an interlaced
//       PNG; -lossless.webp: a lossless WebP), row by row (WebP whole)
//   giant_probe view PICTURE fit|asis       prints paint_ms: the picture's own
//       pixels on screen (fitted, or the view covered by them in As Is);
//       fitted then rss_kib fitted, in As Is rss_kib (viewer and its loaders,
//       each at its peak) after the
//       first paint and after panning to each corner with the scroll bars,
//       and the longest stretch the GUI thread did not turn (stall_ms), and
//       the most CPU time it spent in one turn (stall_cpu_ms).
// Not a shipped hook: bench/giant.sh runs it.
#include "app/Application.h"
#include "app/Program.h"
#include "graphics/PictureFormat.h"
#include "graphics/PictureLoaders.h"
#include "ui/main/MainImage.h"
#include "ui/main/MainWindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>
#include <webp/encode.h>

namespace {

double msSinceLaunch()
{
    const qint64 t0 = qEnvironmentVariable("PICTAVO_T0").toLongLong();
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return double(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() - t0) / 1e6;
}

// Smooth colour fields with fine grain over them: compresses like a photo.
struct PhotoRows {
    int width;
    std::uint32_t seed = 7;
    std::vector<std::uint8_t> row = std::vector<std::uint8_t>(std::size_t(width) * 3);
    const std::uint8_t* next(int y)
    {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 28) - 8;
            const double u = x / 700.0, v = y / 500.0;
            const double a = std::sin(u) * std::cos(v * 1.3) + std::sin((u + v) * 0.37);
            const double b = std::cos(u * 0.61 - v) + std::sin(v * 2.1) * 0.5;
            std::uint8_t* p = &row[std::size_t(x) * 3];
            p[0] = std::uint8_t(std::clamp(int(128 + 60 * a) + grain, 0, 255));
            p[1] = std::uint8_t(std::clamp(int(128 + 50 * b) + grain, 0, 255));
            p[2] = std::uint8_t(std::clamp(int(128 + 40 * (a - b)) + grain, 0, 255));
        }
        return row.data();
    }
};

int makeJpeg(FILE* out, int width, int height)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = JDIMENSION(width);
    c.image_height = JDIMENSION(height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    PhotoRows rows{width};
    for (int y = 0; y < height; ++y) {
        JSAMPROW r = const_cast<JSAMPROW>(rows.next(y));
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return 0;
}

// Interlaced: each of the seven passes takes every row again (the same
// rows: PhotoRows starts its grain anew).
int makePng(FILE* out, int width, int height, bool interlaced)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        return 1;
    png_init_io(png, out);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const int passes = interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass) {
        PhotoRows rows{width};
        for (int y = 0; y < height; ++y)
            png_write_row(png, rows.next(y));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return 0;
}

int makeTiff(const char* path, int width, int height)
{
    TIFF* t = TIFFOpen(path, "w");
    if (!t)
        return 1;
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_PREDICTOR, 2);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
    PhotoRows rows{width};
    for (int y = 0; y < height; ++y)
        if (TIFFWriteScanline(t, const_cast<std::uint8_t*>(rows.next(y)), std::uint32_t(y)) < 0)
            return 1;
    TIFFClose(t);
    return 0;
}

// libwebp encodes a whole picture at once (16383 pixels a side at most);
// its fastest method, and the prediction modes let go of what it takes to
// fit a giant picture's first partition into VP8's 512 KiB.
int makeWebp(FILE* out, int width, int height, bool lossless)
{
    WebPConfig config;
    WebPPicture picture;
    if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
        return 1;
    config.quality = 90;
    config.method = 2;
    config.partition_limit = 100;
    config.segments = 1;
    config.lossless = lossless;
    if (lossless) {
        config.quality = 0;
        config.method = 0;
    }
    picture.use_argb = 1;
    picture.width = width;
    picture.height = height;
    if (!WebPPictureAlloc(&picture))
        return 1;
    PhotoRows rows{width};
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = rows.next(y);
        std::uint32_t* argb = picture.argb + std::size_t(y) * std::size_t(picture.argb_stride);
        for (int x = 0; x < width; ++x, p += 3)
            argb[x] = 0xFF000000u | std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    }
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    picture.writer = WebPMemoryWrite;
    picture.custom_ptr = &writer;
    const bool encoded = WebPEncode(&config, &picture);
    if (!encoded)
        std::fprintf(stderr, "WebPEncode: error %d\n", int(picture.error_code));
    const bool written = encoded && std::fwrite(writer.mem, 1, writer.size, out) == writer.size;
    WebPMemoryWriterClear(&writer);
    WebPPictureFree(&picture);
    return written ? 0 : 1;
}

// The kind by the name's ending: .jpg, .png, .ipng (an interlaced PNG),
// .webp or .tif.
int makePicture(const std::string& path, int width, int height)
{
    const auto endsWith = [&](const char* end) { return path.size() > std::strlen(end) && path.ends_with(end); };
    if (endsWith(".tif"))
        return makeTiff(path.c_str(), width, height);
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return 1;
    const int made = endsWith(".png")    ? makePng(out, width, height, false)
                     : endsWith(".ipng") ? makePng(out, width, height, true)
                     : endsWith(".webp") ? makeWebp(out, width, height, endsWith("-lossless.webp"))
                                         : makeJpeg(out, width, height);
    return std::fclose(out) == 0 ? made : 1;
}

long peakKiB(const std::string& pid)
{
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// This process's peak and its children's (the loaders), added.
long peakWithLoadersKiB()
{
    long sum = peakKiB("self");
    if (qEnvironmentVariableIsSet("GIANT_PROBE_EACH"))
        std::fprintf(stderr, "viewer %ld\n", sum);
    for (const QString& task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream children("/proc/self/task/" + task.toStdString() + "/children");
        std::string pid;
        while (children >> pid) {
            sum += peakKiB(pid);
            if (qEnvironmentVariableIsSet("GIANT_PROBE_EACH"))
                std::fprintf(stderr, "loader %s %ld\n", pid.c_str(), peakKiB(pid));
        }
    }
    return sum;
}

// The longest time between two turns of the event loop, on the wall clock
// (waiting for a core included) and in the GUI thread's own CPU time. A
// timer every millisecond rather than one that spins: a spinning GUI thread
// would take a core from the decodes and be preempted itself.
class StallMeter : public QObject {
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double cpu = threadCpuMs();
            if (m_clock.isValid()) {
                m_longest = std::max(m_longest, m_clock.nsecsElapsed() / 1e6);
                m_longestCpu = std::max(m_longestCpu, cpu - m_cpu);
            }
            m_cpu = cpu;
            m_clock.start();
        });
        m_timer.start();
    }
    double longest() const { return m_longest; }
    double longestCpu() const { return m_longestCpu; }

private:
    static double threadCpuMs()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_longest = 0;
    double m_longestCpu = 0;
    double m_cpu = 0;
};

// Runs the event loop for `ms`, sleeping while nothing happens.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void waitUntil(const std::function<bool()>& done, int ms = 60000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        spin(5);
}

// Scrolls in screen-sized steps of 1/8, each step one frame, to (x, y).
void panTo(QScrollArea* area, int x, int y)
{
    QScrollBar* h = area->horizontalScrollBar();
    QScrollBar* v = area->verticalScrollBar();
    const int tx = x < 0 ? h->maximum() : x, ty = y < 0 ? v->maximum() : y;
    const int step = std::max(area->viewport()->width() / 8, 1);
    while (h->value() != tx || v->value() != ty) {
        h->setValue(h->value() + std::clamp(tx - h->value(), -step, step));
        v->setValue(v->value() + std::clamp(ty - v->value(), -step, step));
        spin(16);
    }
}

int view(int argc, char** argv)
{
    const QString picture = QString::fromLocal8Bit(argv[2]);
    const bool fit = std::string(argv[3]) == "fit";
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("probe.ini"));
    {
        std::ofstream s(ini.toStdString());
        s << "[Window]\nFitPictures=" << (fit ? 1 : 0) << "\n";
    }
    // As the program's main does: the picture's loader starts before the windows.
    PictureLoaders::shared().startAhead(pictureFormatOfFile(picture));
    PictavoApplication app(argc, argv);
    Program program(ini, {picture});
    MainWindow* main = &program.mainWindow();
    MainImage* image = main->mainImage();
    main->show();
    waitUntil([&] { return !image->picture().isEmpty() && image->showsDecodedPixels(); });
    image->repaint();
    if (!image->showsDecodedPixels())
        std::fprintf(stderr, "not shown: %s\n", qPrintable(image->reason()));
    std::printf("paint_ms %.1f\n", msSinceLaunch());
    if (fit)
        std::printf("rss_kib fitted %ld\n", peakWithLoadersKiB());
    if (!fit) {
        std::printf("rss_kib first %ld\n", peakWithLoadersKiB());
        StallMeter stalls;
        QScrollArea* area = main->imageArea();
        const std::pair<int, int> corners[] = {{-1, 0}, {-1, -1}, {0, -1}, {0, 0}};
        const char* names[] = {"top-right", "bottom-right", "bottom-left", "top-left"};
        for (int i = 0; i < 4; ++i) {
            panTo(area, corners[i].first, corners[i].second);
            waitUntil([&] { return image->showsDecodedPixels(); });
            std::printf("rss_kib %s %ld\n", names[i], peakWithLoadersKiB());
        }
        std::printf("stall_ms %.1f\n", stalls.longest());
        std::printf("stall_cpu_ms %.1f\n", stalls.longestCpu());
    }
    std::fflush(stdout);
    program.finish();
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::string(argv[1]) == "make")
        return makePicture(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (argc == 4 && std::string(argv[1]) == "view")
        return view(argc, argv);
    std::fprintf(stderr, "usage: giant_probe make OUT.jpg|png|ipng|webp|tif W H | view PICTURE fit|asis\n");
    return 2;
}
