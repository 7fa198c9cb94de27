#include "graphics/JpegTransform.h"

#include "core/Errors.h"
#include "graphics/JpegCodec.h"
#include "graphics/JpegErrorManager.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <memory>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// libjpeg's own builder of fitted Huffman tables (Annex K.2), exported by
// the library though not in its public header.
extern "C" void jpeg_gen_optimal_table(j_compress_ptr cinfo, JHUFF_TBL* htbl, long freq[]);

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

// A block's coefficients in zigzag order: where the k-th sits in the block.
constexpr std::array<int, DCTSIZE2> zigzagOrder()
{
    std::array<int, DCTSIZE2> order{};
    int k = 0;
    for (int d = 0; d < 2 * DCTSIZE - 1; ++d) {
        for (int i = 0; i < DCTSIZE; ++i) {
            const int r = d % 2 ? i : d - i, c = d - r;
            if (r >= 0 && r < DCTSIZE && c >= 0 && c < DCTSIZE)
                order[std::size_t(k++)] = r * DCTSIZE + c;
        }
    }
    return order;
}
constexpr std::array<int, DCTSIZE2> kZigzag = zigzagOrder();
static_assert(kZigzag[2] == 8 && kZigzag[5] == 2 && kZigzag[61] == 55 && kZigzag[62] == 62);

constexpr std::array<int, DCTSIZE2> zigzagPositions()
{
    std::array<int, DCTSIZE2> position{};
    for (int k = 0; k < DCTSIZE2; ++k)
        position[std::size_t(kZigzag[std::size_t(k)])] = k;
    return position;
}
constexpr std::array<int, DCTSIZE2> kZigzagPosition = zigzagPositions();

// Which AC coefficients of a block are not zero, as bits in zigzag order.
std::uint64_t nonzeroAc(const JCOEF* block)
{
    std::uint64_t natural = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int q = 0; q < 4; ++q) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * q));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * q + 8));
        const __m128i zeros = _mm_packs_epi16(_mm_cmpeq_epi16(a, zero), _mm_cmpeq_epi16(b, zero));
        natural |= std::uint64_t(std::uint16_t(~_mm_movemask_epi8(zeros))) << (16 * q);
    }
#else
    for (int i = 0; i < DCTSIZE2; ++i)
        natural |= std::uint64_t(block[i] != 0) << i;
#endif
    natural &= ~std::uint64_t(1);
    std::uint64_t zigzag = 0;
    for (; natural; natural &= natural - 1)
        zigzag |= std::uint64_t(1) << kZigzagPosition[std::size_t(std::countr_zero(natural))];
    return zigzag;
}

// How often each Huffman symbol occurs in the turned picture, per
// component, gathered as the blocks move, so that the encoder needs no
// pass of its own to fit its tables.
struct SymbolCounts {
    static constexpr int kMaxAcBits = 10, kMaxDcBits = 11; // of 8-bit samples
    struct Component {
        std::array<long, 257> dc{}, ac{};
        std::vector<JCOEF> dcValues;      // row by row, the encoded blocks only
        JDIMENSION width = 0, height = 0; // the encoded blocks
    };
    Component component[MAX_COMPONENTS];
    bool outOfRange = false;

    void countAc(int ci, const JCOEF* block)
    {
        std::uint64_t nonzero = nonzeroAc(block);
        std::array<long, 257>& freq = component[ci].ac;
        int last = 0;
        while (nonzero) {
            const int k = std::countr_zero(nonzero);
            nonzero &= nonzero - 1;
            int run = k - last - 1;
            for (; run > 15; run -= 16)
                ++freq[0xF0];
            const int bits = std::bit_width(unsigned(std::abs(int(block[kZigzag[std::size_t(k)]]))));
            outOfRange |= bits > kMaxAcBits;
            ++freq[std::size_t((run << 4) + bits)];
            last = k;
        }
        if (last < DCTSIZE2 - 1)
            ++freq[0]; // end of block
    }
    void countDc(Component& c, int difference)
    {
        const int bits = std::bit_width(unsigned(std::abs(difference)));
        outOfRange |= bits > kMaxDcBits;
        ++c.dc[std::size_t(bits)];
    }
    // A moved block at (x, y) of component ci; those past the encoded
    // blocks (whole MCUs of the layout) are never written.
    void add(int ci, JDIMENSION x, JDIMENSION y, const JCOEF* block)
    {
        Component& c = component[ci];
        if (x >= c.width || y >= c.height)
            return;
        countAc(ci, block);
        c.dcValues[std::size_t(y) * c.width + x] = block[0];
    }
    // The DC differences, in the order of the one scan the encoder writes:
    // block rows for a single component, else MCU by MCU.
    void countDcs(int components, const int* h, const int* v, JDIMENSION mcusX, JDIMENSION mcusY)
    {
        int lastDc[MAX_COMPONENTS] = {};
        if (components == 1) {
            countMcus(0, component[0].width, component[0].height, 1, 1, lastDc[0]);
            return;
        }
        for (JDIMENSION my = 0; my < mcusY; ++my)
            for (JDIMENSION mx = 0; mx < mcusX; ++mx)
                for (int ci = 0; ci < components; ++ci)
                    countMcu(ci, mx * JDIMENSION(h[ci]), my * JDIMENSION(v[ci]), h[ci], v[ci], lastDc[ci]);
    }
    void countMcus(int ci, JDIMENSION w, JDIMENSION hgt, int h, int v, int& lastDc)
    {
        for (JDIMENSION y = 0; y < hgt; ++y)
            for (JDIMENSION x = 0; x < w; ++x)
                countMcu(ci, x, y, h, v, lastDc);
    }
    // The blocks of one MCU row and column for component ci, as the encoder
    // takes them; those past the picture's edge are stand-ins that repeat
    // the DC before them and hold no AC.
    void countMcu(int ci, JDIMENSION x0, JDIMENSION y0, int h, int v, int& lastDc)
    {
        Component& c = component[ci];
        for (int r = 0; r < v; ++r) {
            for (int q = 0; q < h; ++q) {
                const JDIMENSION x = x0 + JDIMENSION(q), y = y0 + JDIMENSION(r);
                if (x >= c.width || y >= c.height) {
                    ++c.dc[0];
                    ++c.ac[0];
                    continue;
                }
                const int dc = c.dcValues[std::size_t(y) * c.width + x];
                countDc(c, dc - lastDc);
                lastDc = dc;
            }
        }
    }
};

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
    std::unique_ptr<SymbolCounts> counts; // when the tables are fitted here
    JDIMENSION mcus[2] = {};              // of the turned layout, across and down
    int mcuWidth[MAX_COMPONENTS] = {}, mcuHeight[MAX_COMPONENTS] = {}; // in blocks

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

JDIMENSION roundUp(JDIMENSION n, JDIMENSION step)
{
    return (n + step - 1) / step * step;
}

// A block moved: the coefficients transposed, and those of odd frequency
// negated along a mirrored axis.
struct BlockMove {
    bool transpose = false;
    alignas(16) JCOEF negate[DCTSIZE2] = {}; // -1 where the moved value changes sign, else 0
};

BlockMove blockMoveOf(Moves m)
{
    BlockMove b;
    b.transpose = m.transpose;
    for (int r = 0; r < DCTSIZE; ++r) {
        for (int c = 0; c < DCTSIZE; ++c) {
            const int sr = m.transpose ? c : r, sc = m.transpose ? r : c;
            const bool negate = (m.flipX && (sc & 1)) != (m.flipY && (sr & 1));
            b.negate[r * DCTSIZE + c] = negate ? JCOEF(-1) : JCOEF(0);
        }
    }
    return b;
}

void moveBlock(const JCOEF* s, JCOEF* d, const BlockMove& b)
{
#if defined(__SSE2__)
    __m128i row[DCTSIZE];
    for (int r = 0; r < DCTSIZE; ++r)
        row[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + r * DCTSIZE));
    if (b.transpose) {
        __m128i t[DCTSIZE], u[DCTSIZE];
        for (int i = 0; i < 4; ++i) {
            t[2 * i] = _mm_unpacklo_epi16(row[2 * i], row[2 * i + 1]);
            t[2 * i + 1] = _mm_unpackhi_epi16(row[2 * i], row[2 * i + 1]);
        }
        for (int i = 0; i < 2; ++i) {
            for (int j = 0; j < 2; ++j) {
                u[4 * i + 2 * j] = _mm_unpacklo_epi32(t[4 * i + j], t[4 * i + j + 2]);
                u[4 * i + 2 * j + 1] = _mm_unpackhi_epi32(t[4 * i + j], t[4 * i + j + 2]);
            }
        }
        for (int i = 0; i < 4; ++i) {
            row[2 * i] = _mm_unpacklo_epi64(u[i], u[i + 4]);
            row[2 * i + 1] = _mm_unpackhi_epi64(u[i], u[i + 4]);
        }
    }
    for (int r = 0; r < DCTSIZE; ++r) {
        const __m128i negate = _mm_load_si128(reinterpret_cast<const __m128i*>(b.negate + r * DCTSIZE));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + r * DCTSIZE),
                         _mm_sub_epi16(_mm_xor_si128(row[r], negate), negate));
    }
#else
    for (int r = 0; r < DCTSIZE; ++r) {
        for (int c = 0; c < DCTSIZE; ++c) {
            const JCOEF v = b.transpose ? s[c * DCTSIZE + r] : s[r * DCTSIZE + c];
            d[r * DCTSIZE + c] = b.negate[r * DCTSIZE + c] ? JCOEF(-v) : v;
        }
    }
#endif
}

// Rows of blocks moved at once: a turn reads each source row this many
// neighbouring blocks at a time, rather than one block per page of memory.
constexpr JDIMENSION kRowsAtOnce = 16;

void moveBlocks(Transform& t, jvirt_barray_ptr* source, Moves m, SymbolCounts* counts)
{
    j_common_ptr common = reinterpret_cast<j_common_ptr>(&t.src);
    const BlockMove move = blockMoveOf(m);
    for (int ci = 0; ci < t.src.num_components; ++ci) {
        const jpeg_component_info& comp = t.src.comp_info[ci];
        const JDIMENSION srcW = roundUp(comp.width_in_blocks, JDIMENSION(comp.h_samp_factor));
        const JDIMENSION srcH = roundUp(comp.height_in_blocks, JDIMENSION(comp.v_samp_factor));
        for (JDIMENSION y0 = 0; y0 < t.turnedHeight[ci]; y0 += kRowsAtOnce) {
            const JDIMENSION n = std::min(kRowsAtOnce, t.turnedHeight[ci] - y0);
            JBLOCKARRAY rows = t.src.mem->access_virt_barray(common, t.turned[ci], y0, n, TRUE);
            for (JDIMENSION x = 0; x < t.turnedWidth[ci]; ++x) {
                for (JDIMENSION r = 0; r < n; ++r) {
                    const JDIMENSION u = m.transpose ? y0 + r : x, v = m.transpose ? x : y0 + r;
                    const JDIMENSION sx = m.flipX ? srcW - 1 - u : u, sy = m.flipY ? srcH - 1 - v : v;
                    JCOEF* d = rows[r][x];
                    if (sx >= srcW || sy >= srcH) {
                        std::fill(d, d + DCTSIZE2, JCOEF(0));
                    } else {
                        moveBlock(t.src.mem->access_virt_barray(common, source[ci], sy, 1, FALSE)[0][sx], d,
                                  move);
                    }
                    if (counts)
                        counts->add(ci, x, y0 + r, d);
                }
            }
        }
    }
}

// The encoded blocks of the turned layout, for counting its symbols; none
// where the encoder can't write one scan of every component.
void prepareCounts(Transform& t, Moves m)
{
    const jpeg_decompress_struct& s = t.src;
    if (s.num_components > MAX_COMPS_IN_SCAN)
        return;
    t.counts = std::make_unique<SymbolCounts>();
    const JDIMENSION width = m.transpose ? s.image_height : s.image_width;
    const JDIMENSION height = m.transpose ? s.image_width : s.image_height;
    const int maxH = m.transpose ? s.max_v_samp_factor : s.max_h_samp_factor;
    const int maxV = m.transpose ? s.max_h_samp_factor : s.max_v_samp_factor;
    int h[MAX_COMPONENTS] = {}, v[MAX_COMPONENTS] = {};
    for (int ci = 0; ci < s.num_components; ++ci) {
        h[ci] = m.transpose ? s.comp_info[ci].v_samp_factor : s.comp_info[ci].h_samp_factor;
        v[ci] = m.transpose ? s.comp_info[ci].h_samp_factor : s.comp_info[ci].v_samp_factor;
        SymbolCounts::Component& c = t.counts->component[ci];
        c.width = roundUp(width * JDIMENSION(h[ci]), JDIMENSION(maxH * DCTSIZE)) / JDIMENSION(maxH * DCTSIZE);
        c.height =
            roundUp(height * JDIMENSION(v[ci]), JDIMENSION(maxV * DCTSIZE)) / JDIMENSION(maxV * DCTSIZE);
        c.dcValues.assign(std::size_t(c.width) * c.height, 0);
    }
    t.mcus[0] = roundUp(width, JDIMENSION(maxH * DCTSIZE)) / JDIMENSION(maxH * DCTSIZE);
    t.mcus[1] = roundUp(height, JDIMENSION(maxV * DCTSIZE)) / JDIMENSION(maxV * DCTSIZE);
    std::copy(h, h + MAX_COMPONENTS, t.mcuWidth);
    std::copy(v, v + MAX_COMPONENTS, t.mcuHeight);
}

// Reads the coefficients and moves them into arrays of the turned layout,
// counting the symbols as they go when the tables are to be fitted.
// `perfect` turns false, with nothing read, when an edge the moves mirror
// is not a whole number of MCUs.
bool readStep(Transform& t, const QByteArray& jpeg, Moves m, bool fitTables, bool* perfect)
{
    jpegerr::installErrorManager(t.err);
    if (setjmp(t.err.jump))
        return false;
    t.srcCreated = true;
    jpeg_create_decompress(&t.src);
    jpegerr::limitDecoder(t.src, t.progress);
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
        // Not zeroed: every block is written.
        t.turned[ci] =
            t.src.mem->request_virt_barray(reinterpret_cast<j_common_ptr>(&t.src), JPOOL_IMAGE, FALSE,
                                           t.turnedWidth[ci], t.turnedHeight[ci], kRowsAtOnce);
    }
    if (fitTables)
        prepareCounts(t, m);
    jvirt_barray_ptr* source = jpeg_read_coefficients(&t.src);
    moveBlocks(t, source, m, t.counts.get());
    if (t.counts) {
        t.counts->countDcs(t.src.num_components, t.mcuWidth, t.mcuHeight, t.mcus[0], t.mcus[1]);
        // The library's own fitting would refuse such coefficients.
        if (t.counts->outOfRange)
            return false;
    }
    return true;
}

// The turned picture's Huffman tables built from its symbol counts, as the
// library's own fitting pass would build them.
void fitTablesToCounts(Transform& t)
{
    std::array<long, 257> dc[NUM_HUFF_TBLS] = {}, ac[NUM_HUFF_TBLS] = {};
    bool dcUsed[NUM_HUFF_TBLS] = {}, acUsed[NUM_HUFF_TBLS] = {};
    for (int ci = 0; ci < t.dst.num_components; ++ci) {
        const jpeg_component_info& comp = t.dst.comp_info[ci];
        const SymbolCounts::Component& c = t.counts->component[ci];
        for (std::size_t i = 0; i < 257; ++i) {
            dc[comp.dc_tbl_no][i] += c.dc[i];
            ac[comp.ac_tbl_no][i] += c.ac[i];
        }
        dcUsed[comp.dc_tbl_no] = acUsed[comp.ac_tbl_no] = true;
    }
    const auto fit = [&t](JHUFF_TBL*& table, std::array<long, 257>& counts) {
        if (!table)
            table = jpeg_alloc_huff_table(reinterpret_cast<j_common_ptr>(&t.dst));
        jpeg_gen_optimal_table(&t.dst, table, counts.data());
    };
    for (int n = 0; n < NUM_HUFF_TBLS; ++n) {
        if (dcUsed[n])
            fit(t.dst.dc_huff_tbl_ptrs[n], dc[n]);
        if (acUsed[n])
            fit(t.dst.ac_huff_tbl_ptrs[n], ac[n]);
    }
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
    if (t.counts)
        fitTablesToCounts(t);
    // Fitted by the library only where the counts could not be gathered.
    t.dst.optimize_coding = fitTables && !t.counts ? TRUE : FALSE;
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
    } catch (const PictureError&) {
        return QByteArray();
    }
    Transform t;
    bool perfect = false;
    if (!readStep(t, jpeg, m, fitTables, &perfect) || !perfect || !writeStep(t, m, fitTables))
        return QByteArray();
    if (damage)
        *damage = t.err.damage;
    return QByteArray(reinterpret_cast<const char*>(t.out), qsizetype(t.outSize));
}
