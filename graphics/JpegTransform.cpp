#include "graphics/JpegTransform.h"

#include "core/Errors.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegErrorManager.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// An orientation as moves of the stored picture: transposed first, then
// mirrored along the source's x or y (see Orientation.h).
struct Moves {
    bool transpose = false, flipX = false, flipY = false;
};

Moves movesOf(int orientation)
{
    switch (orientation) {
    case 2:
        return {false, true, false};
    case 3:
        return {false, true, true};
    case 4:
        return {false, false, true};
    case 5:
        return {true, false, false};
    case 6:
        return {true, false, true};
    case 7:
        return {true, true, true};
    case 8:
        return {true, true, false};
    default:
        return {};
    }
}

struct Transform {
    jpeg_decompress_struct src{};
    jpeg_compress_struct dst{};
    jpegerr::ErrorManager err{};
    jpeg_progress_mgr progress{};
    bool srcCreated = false, dstCreated = false;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jvirt_barray_ptr turned[MAX_COMPONENTS] = {};
    JDIMENSION turnedWidth[MAX_COMPONENTS] = {}, turnedHeight[MAX_COMPONENTS] = {}; // in blocks

    Transform() { src.err = dst.err = &err.pub; }
    Transform(const Transform&) = delete;
    Transform& operator=(const Transform&) = delete;
    ~Transform()
    {
        if (dstCreated)
            jpeg_destroy_compress(&dst);
        if (srcCreated)
            jpeg_destroy_decompress(&src);
        std::free(out);
    }
};

// Hostile progressive files can ask for endless scans.
void limitScans(j_common_ptr common)
{
    auto* d = reinterpret_cast<j_decompress_ptr>(common);
    constexpr int MaxScans = 500;
    if (common->is_decompressor && d->input_scan_number > MaxScans) {
        common->err->msg_code = JERR_BAD_PROGRESSION;
        common->err->error_exit(common);
    }
}

JDIMENSION roundUp(JDIMENSION n, JDIMENSION step)
{
    return (n + step - 1) / step * step;
}

// One block moved: the coefficients transposed, and those of odd frequency
// negated along a mirrored axis.
void moveBlock(const JCOEF* s, JCOEF* d, Moves m)
{
    for (int r = 0; r < DCTSIZE; ++r) {
        for (int c = 0; c < DCTSIZE; ++c) {
            const int sr = m.transpose ? c : r, sc = m.transpose ? r : c;
            const bool negate = (m.flipX && (sc & 1)) != (m.flipY && (sr & 1));
            const JCOEF v = s[sr * DCTSIZE + sc];
            d[r * DCTSIZE + c] = negate ? JCOEF(-v) : v;
        }
    }
}

void moveBlocks(Transform& t, jvirt_barray_ptr* source, Moves m)
{
    j_common_ptr common = reinterpret_cast<j_common_ptr>(&t.src);
    for (int ci = 0; ci < t.src.num_components; ++ci) {
        const jpeg_component_info& comp = t.src.comp_info[ci];
        const JDIMENSION srcW = roundUp(comp.width_in_blocks, JDIMENSION(comp.h_samp_factor));
        const JDIMENSION srcH = roundUp(comp.height_in_blocks, JDIMENSION(comp.v_samp_factor));
        const JDIMENSION rowsAtOnce = JDIMENSION(m.transpose ? comp.h_samp_factor : comp.v_samp_factor);
        for (JDIMENSION y0 = 0; y0 < t.turnedHeight[ci]; y0 += rowsAtOnce) {
            JBLOCKARRAY rows = t.src.mem->access_virt_barray(common, t.turned[ci], y0, rowsAtOnce, TRUE);
            for (JDIMENSION r = 0; r < rowsAtOnce; ++r) {
                for (JDIMENSION x = 0; x < t.turnedWidth[ci]; ++x) {
                    const JDIMENSION u = m.transpose ? y0 + r : x, v = m.transpose ? x : y0 + r;
                    const JDIMENSION sx = m.flipX ? srcW - 1 - u : u, sy = m.flipY ? srcH - 1 - v : v;
                    JCOEF* d = rows[r][x];
                    if (sx >= srcW || sy >= srcH) {
                        std::fill(d, d + DCTSIZE2, JCOEF(0));
                        continue;
                    }
                    const JBLOCKARRAY from = t.src.mem->access_virt_barray(common, source[ci], sy, 1, FALSE);
                    moveBlock(from[0][sx], d, m);
                }
            }
        }
    }
}

// Reads the coefficients and moves them into arrays of the turned layout.
// `perfect` turns false, with nothing read, when an edge the moves mirror
// is not a whole number of MCUs.
bool readStep(Transform& t, const QByteArray& jpeg, Moves m, bool* perfect)
{
    jpegerr::installErrorManager(t.err);
    if (setjmp(t.err.jump))
        return false;
    t.srcCreated = true;
    jpeg_create_decompress(&t.src);
    t.src.mem->max_memory_to_use = long(Bitmap24::MaxBytes);
    t.progress.progress_monitor = limitScans;
    t.src.progress = &t.progress;
    jpeg_mem_src(&t.src, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_save_markers(&t.src, JPEG_COM, 0xFFFF);
    for (int app = 0; app < 16; ++app)
        jpeg_save_markers(&t.src, JPEG_APP0 + app, 0xFFFF);
    jpeg_read_header(&t.src, TRUE);
    const JDIMENSION mcuW = JDIMENSION(t.src.max_h_samp_factor * DCTSIZE);
    const JDIMENSION mcuH = JDIMENSION(t.src.max_v_samp_factor * DCTSIZE);
    *perfect = !(m.flipX && t.src.image_width % mcuW) && !(m.flipY && t.src.image_height % mcuH);
    if (!*perfect)
        return true;
    // The turned picture's arrays, whole MCUs in size, made with the source's.
    const JDIMENSION mcusX =
        (m.transpose ? t.src.image_height : t.src.image_width) / (m.transpose ? mcuH : mcuW);
    const JDIMENSION mcusY =
        (m.transpose ? t.src.image_width : t.src.image_height) / (m.transpose ? mcuW : mcuH);
    const JDIMENSION wholeX = ((m.transpose ? t.src.image_height % mcuH : t.src.image_width % mcuW) != 0);
    const JDIMENSION wholeY = ((m.transpose ? t.src.image_width % mcuW : t.src.image_height % mcuH) != 0);
    for (int ci = 0; ci < t.src.num_components; ++ci) {
        const jpeg_component_info& comp = t.src.comp_info[ci];
        const int h = m.transpose ? comp.v_samp_factor : comp.h_samp_factor;
        const int v = m.transpose ? comp.h_samp_factor : comp.v_samp_factor;
        t.turnedWidth[ci] = (mcusX + wholeX) * JDIMENSION(h);
        t.turnedHeight[ci] = (mcusY + wholeY) * JDIMENSION(v);
        t.turned[ci] =
            t.src.mem->request_virt_barray(reinterpret_cast<j_common_ptr>(&t.src), JPOOL_IMAGE, TRUE,
                                           t.turnedWidth[ci], t.turnedHeight[ci], JDIMENSION(v));
    }
    jvirt_barray_ptr* source = jpeg_read_coefficients(&t.src);
    moveBlocks(t, source, m);
    return true;
}

// Writes the moved coefficients with every saved marker as it was; a
// transpose swaps the size, the sampling factors and the quantization.
bool writeStep(Transform& t, Moves m, bool fitTables)
{
    if (setjmp(t.err.jump))
        return false;
    t.dstCreated = true;
    jpeg_create_compress(&t.dst);
    jpeg_mem_dest(&t.dst, &t.out, &t.outSize);
    jpeg_copy_critical_parameters(&t.src, &t.dst);
    if (m.transpose) {
        std::swap(t.dst.image_width, t.dst.image_height);
        for (int ci = 0; ci < t.dst.num_components; ++ci)
            std::swap(t.dst.comp_info[ci].h_samp_factor, t.dst.comp_info[ci].v_samp_factor);
        for (JQUANT_TBL* q : t.dst.quant_tbl_ptrs) {
            if (!q)
                continue;
            for (int r = 0; r < DCTSIZE; ++r)
                for (int c = r + 1; c < DCTSIZE; ++c)
                    std::swap(q->quantval[r * DCTSIZE + c], q->quantval[c * DCTSIZE + r]);
        }
    }
    t.dst.optimize_coding = fitTables ? TRUE : FALSE;
    // The source's own JFIF and Adobe markers come with the others below.
    t.dst.write_JFIF_header = FALSE;
    t.dst.write_Adobe_marker = FALSE;
    jpeg_write_coefficients(&t.dst, t.turned);
    for (jpeg_saved_marker_ptr s = t.src.marker_list; s; s = s->next)
        jpeg_write_marker(&t.dst, s->marker, s->data, s->data_length);
    jpeg_finish_compress(&t.dst);
    jpeg_finish_decompress(&t.src);
    return true;
}

} // namespace

QByteArray transformJpegLosslessly(const QByteArray& jpeg, int orientation, PictureDamage* damage)
{
    const Moves m = movesOf(orientation);
    // Huffman tables fitted to the source are fitted again to the result,
    // so that the file keeps its size; standard ones stay standard.
    bool fitTables = false;
    try {
        fitTables = !usesStandardHuffmanTables(jpeg);
    } catch (const AppError&) {
        return QByteArray();
    }
    Transform t;
    bool perfect = false;
    if (!readStep(t, jpeg, m, &perfect) || !perfect || !writeStep(t, m, fitTables))
        return QByteArray();
    if (damage)
        *damage = t.err.damage;
    return QByteArray(reinterpret_cast<const char*>(t.out), qsizetype(t.outSize));
}
