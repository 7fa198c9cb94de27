#include "graphics/LosslessWebp.h"

#include <QtEndian>

#include <unistd.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int NumLiteralCodes = 256, NumLengthCodes = 24, NumDistanceCodes = 40;
constexpr int MaxCacheBits = 11, MaxCodeLength = 15, RootBits = 8;
// Farthest back a reference reaches: the largest distance code's offset
// and extra bits, less the 120 codes for nearby pixels. The nearby ones
// reach at most 7 rows back, within this for the widest picture.
constexpr int MaxDistance = (1 << 20) - 120;
constexpr int MaxCopyLength = 4096;
constexpr int MaxSide = 1 << 14;
// A colour's place in the colour cache: the top bits of it times this.
constexpr std::uint32_t ColorCacheMultiplier = 0x1e35a7bdu;

std::uint32_t addPixels(std::uint32_t a, std::uint32_t b)
{
    return (((a & 0xff00ff00u) + (b & 0xff00ff00u)) & 0xff00ff00u) |
           (((a & 0x00ff00ffu) + (b & 0x00ff00ffu)) & 0x00ff00ffu);
}

int subSampled(int size, int bits)
{
    return (size + (1 << bits) - 1) >> bits;
}

// Bits least significant first; past the end it reads zeros and says so.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    // From `length` bytes of `fd` at `offset`, read as needed.
    BitReader(int fd, qint64 offset, qint64 length)
        : m_data(nullptr), m_size(0), m_fd(fd), m_offset(offset), m_left(length), m_buffer(std::size_t(1) << 18)
    {
        m_data = m_buffer.data();
    }

    void fill()
    {
        if (m_count >= 32)
            return;
        if (m_at + 4 > m_size && m_left > 0)
            readMore();
        if (m_at + 4 <= m_size) {
            m_value |= std::uint64_t(qFromLittleEndian<std::uint32_t>(m_data + m_at)) << m_count;
            m_at += 4;
            m_count += 32;
            return;
        }
        while (m_count < 32) {
            const std::uint64_t byte = m_at < m_size ? m_data[m_at++] : (m_padding += 8, 0);
            m_value |= byte << m_count;
            m_count += 8;
        }
    }
    // At least 32 bits are there after fill().
    std::uint32_t peek() const { return std::uint32_t(m_value); }
    void skip(int n)
    {
        m_value >>= n;
        m_count -= n;
    }
    std::uint32_t read(int n)
    {
        fill();
        const std::uint32_t v = std::uint32_t(m_value & ((std::uint64_t(1) << n) - 1));
        skip(n);
        return v;
    }
    // Bits were taken that the data does not have.
    bool exhausted() const { return m_padding > m_count; }

private:
    void readMore()
    {
        const std::size_t kept = m_size - m_at;
        std::memmove(m_buffer.data(), m_buffer.data() + m_at, kept);
        std::size_t got = 0;
        const std::size_t want = std::size_t(std::min<qint64>(qint64(m_buffer.size() - kept), m_left));
        while (got < want) {
            const ssize_t n = ::pread(m_fd, m_buffer.data() + kept + got, want - got, off_t(m_offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                m_left = 0; // the file ends early: read as data that ends
                break;
            }
            got += std::size_t(n);
            m_offset += n;
            m_left -= n;
        }
        m_data = m_buffer.data();
        m_at = 0;
        m_size = kept + got;
    }

    const std::uint8_t* m_data;
    std::size_t m_size, m_at = 0;
    std::uint64_t m_value = 0;
    int m_count = 0, m_padding = 0;
    int m_fd = -1;
    qint64 m_offset = 0, m_left = 0;
    std::vector<std::uint8_t> m_buffer;
};

// A canonical prefix code: a table of the first RootBits bits, and for the
// longer codes tables of the bits after them.
class PrefixCode {
public:
    // False for lengths that make no complete code (one symbol alone is one).
    bool build(const std::uint8_t* lengths, int count)
    {
        std::array<int, MaxCodeLength + 1> counts{};
        for (int s = 0; s < count; ++s)
            ++counts[lengths[s]];
        if (counts[0] == count)
            return false;
        if (counts[0] == count - 1) {
            const int only = int(std::find_if(lengths, lengths + count, [](auto l) { return l != 0; }) - lengths);
            m_table.assign(1 << RootBits, Entry{std::uint16_t(only), 0, 0});
            return true;
        }
        int left = 1;
        for (int l = 1; l <= MaxCodeLength; ++l) {
            left = (left << 1) - counts[l];
            if (left < 0)
                return false;
        }
        if (left != 0)
            return false;
        std::array<int, MaxCodeLength + 1> next{};
        // The first code of each length; lengths of 0 take none.
        for (int l = 2, code = 0; l <= MaxCodeLength; ++l) {
            code = (code + counts[l - 1]) << 1;
            next[l] = code;
        }
        // Reversed codes, as the bits come first to last.
        std::vector<std::uint16_t> codes(std::size_t(count), 0);
        std::array<int, 1 << RootBits> longest{};
        for (int s = 0; s < count; ++s) {
            const int l = lengths[s];
            if (l == 0)
                continue;
            int c = next[l]++, r = 0;
            for (int i = 0; i < l; ++i, c >>= 1)
                r = (r << 1) | (c & 1);
            codes[std::size_t(s)] = std::uint16_t(r);
            if (l > RootBits)
                longest[std::size_t(r & ((1 << RootBits) - 1))] =
                    std::max(longest[std::size_t(r & ((1 << RootBits) - 1))], l);
        }
        std::size_t total = 1 << RootBits;
        m_table.assign(total, Entry{});
        for (std::size_t i = 0; i < longest.size(); ++i) {
            if (longest[i] == 0)
                continue;
            const int bits = longest[i] - RootBits;
            m_table[i] = Entry{std::uint16_t(total), 0, std::uint8_t(bits)};
            total += std::size_t(1) << bits;
        }
        m_table.resize(total);
        for (int s = 0; s < count; ++s) {
            const int l = lengths[s], r = codes[std::size_t(s)];
            if (l == 0)
                continue;
            const Entry e{std::uint16_t(s), std::uint8_t(l), 0};
            if (l <= RootBits) {
                for (int i = r; i < (1 << RootBits); i += 1 << l)
                    m_table[std::size_t(i)] = e;
                continue;
            }
            const Entry sub = m_table[std::size_t(r & ((1 << RootBits) - 1))];
            for (int i = r >> RootBits; i < (1 << sub.subBits); i += 1 << (l - RootBits))
                m_table[sub.value + std::size_t(i)] = e;
        }
        return true;
    }

    int read(BitReader& bits) const
    {
        bits.fill();
        const std::uint32_t v = bits.peek();
        Entry e = m_table[v & ((1 << RootBits) - 1)];
        if (e.subBits)
            e = m_table[e.value + ((v >> RootBits) & ((1u << e.subBits) - 1))];
        bits.skip(e.length);
        return e.value;
    }

private:
    struct Entry {
        std::uint16_t value = 0; // the symbol, or where the longer codes' table starts
        std::uint8_t length = 0;
        std::uint8_t subBits = 0; // set where the entry leads to a table of longer codes
    };
    std::vector<Entry> m_table;
};

enum CodeIndex { Green, Red, Blue, Alpha, Distance, CodesInGroup };

struct CodeGroup {
    std::array<PrefixCode, CodesInGroup> codes;
};

// The codes an entropy-coded image is read with: one group, or one for
// each block of the picture as its meta image says.
struct ImageCodes {
    int cacheBits = 0;
    int metaBits = 0, metaWidth = 0;
    std::vector<std::uint32_t> meta; // each block's group, numbered as in `groups`
    std::vector<CodeGroup> groups;

    const CodeGroup& groupAt(int x, int y) const
    {
        return meta.empty() ? groups[0]
                            : groups[meta[std::size_t(y >> metaBits) * std::size_t(metaWidth) +
                                          std::size_t(x >> metaBits)]];
    }
};

enum TransformType { Predictor, CrossColor, SubtractGreen, ColorIndexing };

struct Transform {
    TransformType type = Predictor;
    int width = 0; // of the pixels it gives back
    int bits = 0;
    std::vector<std::uint32_t> data; // its sub-image, or its colour table of 256
    std::vector<std::uint32_t> above; // a predictor's last row given back
};

std::uint32_t average(std::uint32_t a, std::uint32_t b)
{
    return (((a ^ b) & 0xfefefefeu) >> 1) + (a & b);
}

int channel(std::uint32_t p, int shift)
{
    return int((p >> shift) & 0xff);
}

// The sum of the channels' distances between two pixels.
int channelDistance(std::uint32_t a, std::uint32_t b)
{
#ifdef __SSE2__
    return _mm_cvtsi128_si32(_mm_sad_epu8(_mm_cvtsi32_si128(int(a)), _mm_cvtsi32_si128(int(b))));
#else
    int sum = 0;
    for (int s = 0; s < 32; s += 8)
        sum += std::abs(channel(a, s) - channel(b, s));
    return sum;
#endif
}

// Of left and top, the nearer to the gradient's guess, left + top - top
// left: it lies as far from the left as the top from the top left, and
// the other way round.
std::uint32_t select(std::uint32_t left, std::uint32_t top, std::uint32_t topLeft)
{
    return channelDistance(left, topLeft) <= channelDistance(top, topLeft) ? top : left;
}

std::uint32_t clampAddSubtractFull(std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
    std::uint32_t p = 0;
    for (int s = 0; s < 32; s += 8)
        p |= std::uint32_t(std::clamp(channel(a, s) + channel(b, s) - channel(c, s), 0, 255)) << s;
    return p;
}

std::uint32_t clampAddSubtractHalf(std::uint32_t a, std::uint32_t b)
{
    std::uint32_t p = 0;
    for (int s = 0; s < 32; s += 8)
        p |= std::uint32_t(std::clamp(channel(a, s) + (channel(a, s) - channel(b, s)) / 2, 0, 255)) << s;
    return p;
}

// A block's pixels, each added to its prediction from its neighbours.
template<class Predict>
void addPredicted(std::uint32_t* row, const std::uint32_t* top, int from, int to, Predict predict)
{
    for (int x = from; x < to; ++x)
        row[x] = addPixels(row[x], predict(row[x - 1], top[x], top[x - 1], top[x + 1]));
}

void undoPredictor(Transform& t, std::uint32_t* row, int y)
{
    const int w = t.width;
    std::uint32_t* top = t.above.data();
    if (y == 0) {
        row[0] = addPixels(row[0], 0xff000000u);
        for (int x = 1; x < w; ++x)
            row[x] = addPixels(row[x], row[x - 1]);
    } else {
        row[0] = addPixels(row[0], top[0]);
        top[w] = row[0]; // the last column's top right is the row's own first pixel
        const std::uint32_t* modes = t.data.data() + std::size_t(y >> t.bits) * std::size_t(subSampled(w, t.bits));
        using P = std::uint32_t;
        for (int x = 1; x < w;) {
            const int end = std::min(w, ((x >> t.bits) + 1) << t.bits);
            switch ((modes[x >> t.bits] >> 8) & 0xf) {
            case 1: addPredicted(row, top, x, end, [](P l, P, P, P) { return l; }); break;
            case 2: addPredicted(row, top, x, end, [](P, P t, P, P) { return t; }); break;
            case 3: addPredicted(row, top, x, end, [](P, P, P, P tr) { return tr; }); break;
            case 4: addPredicted(row, top, x, end, [](P, P, P tl, P) { return tl; }); break;
            case 5: addPredicted(row, top, x, end, [](P l, P t, P, P tr) { return average(average(l, tr), t); }); break;
            case 6: addPredicted(row, top, x, end, [](P l, P, P tl, P) { return average(l, tl); }); break;
            case 7: addPredicted(row, top, x, end, [](P l, P t, P, P) { return average(l, t); }); break;
            case 8: addPredicted(row, top, x, end, [](P, P t, P tl, P) { return average(tl, t); }); break;
            case 9: addPredicted(row, top, x, end, [](P, P t, P, P tr) { return average(t, tr); }); break;
            case 10:
                addPredicted(row, top, x, end,
                             [](P l, P t, P tl, P tr) { return average(average(l, tl), average(t, tr)); });
                break;
            case 11: addPredicted(row, top, x, end, [](P l, P t, P tl, P) { return select(l, t, tl); }); break;
            case 12:
                addPredicted(row, top, x, end, [](P l, P t, P tl, P) { return clampAddSubtractFull(l, t, tl); });
                break;
            case 13:
                addPredicted(row, top, x, end,
                             [](P l, P t, P tl, P) { return clampAddSubtractHalf(average(l, t), tl); });
                break;
            default: addPredicted(row, top, x, end, [](P, P, P, P) { return 0xff000000u; }); break;
            }
            x = end;
        }
    }
    std::copy(row, row + w, t.above.begin());
}

int colorDelta(std::uint32_t multiplier, std::uint32_t color)
{
    return (int(std::int8_t(multiplier & 0xff)) * int(std::int8_t(color & 0xff))) >> 5;
}

void undoCrossColor(const Transform& t, std::uint32_t* row, int y)
{
    const std::uint32_t* multipliers = t.data.data() + std::size_t(y >> t.bits) * std::size_t(subSampled(t.width, t.bits));
    for (int x = 0; x < t.width; ++x) {
        const std::uint32_t m = multipliers[x >> t.bits], p = row[x], green = p >> 8;
        const int red = (int((p >> 16) & 0xff) + colorDelta(m, green)) & 0xff;
        const int blue = (int(p & 0xff) + colorDelta(m >> 8, green) + colorDelta(m >> 16, std::uint32_t(red))) & 0xff;
        row[x] = (p & 0xff00ff00u) | (std::uint32_t(red) << 16) | std::uint32_t(blue);
    }
}

void undoSubtractGreen(const Transform& t, std::uint32_t* row)
{
    for (int x = 0; x < t.width; ++x) {
        const std::uint32_t p = row[x], green = (p >> 8) & 0xff;
        row[x] = (p & 0xff00ff00u) | (((p & 0x00ff00ffu) + ((green << 16) | green)) & 0x00ff00ffu);
    }
}

// In place: each packed pixel lies at or left of the pixels it becomes.
void undoColorIndexing(const Transform& t, std::uint32_t* row)
{
    const int perPixel = 8 >> t.bits, mask = (1 << perPixel) - 1, within = (1 << t.bits) - 1;
    for (int x = t.width - 1; x >= 0; --x) {
        const int index = int(row[x >> t.bits] >> (8 + (x & within) * perPixel)) & mask;
        row[x] = t.data[std::size_t(index)];
    }
}

int copyValue(int prefix, BitReader& bits)
{
    if (prefix < 4)
        return prefix + 1;
    const int extra = (prefix - 2) >> 1, offset = (2 + (prefix & 1)) << extra;
    return offset + int(bits.read(extra)) + 1;
}

// Distance codes 1..120 stand for the pixels nearby: y rows up, x across.
constexpr std::uint8_t NearbyPixels[120] = {
    0x18, 0x07, 0x17, 0x19, 0x28, 0x06, 0x27, 0x29, 0x16, 0x1a, 0x26, 0x2a, 0x38, 0x05, 0x37, 0x39, 0x15, 0x1b,
    0x36, 0x3a, 0x25, 0x2b, 0x48, 0x04, 0x47, 0x49, 0x14, 0x1c, 0x35, 0x3b, 0x46, 0x4a, 0x24, 0x2c, 0x58, 0x45,
    0x4b, 0x34, 0x3c, 0x03, 0x57, 0x59, 0x13, 0x1d, 0x56, 0x5a, 0x23, 0x2d, 0x44, 0x4c, 0x55, 0x5b, 0x33, 0x3d,
    0x68, 0x02, 0x67, 0x69, 0x12, 0x1e, 0x66, 0x6a, 0x22, 0x2e, 0x54, 0x5c, 0x43, 0x4d, 0x65, 0x6b, 0x32, 0x3e,
    0x78, 0x01, 0x77, 0x79, 0x53, 0x5d, 0x11, 0x1f, 0x64, 0x6c, 0x42, 0x4e, 0x76, 0x7a, 0x21, 0x2f, 0x75, 0x7b,
    0x31, 0x3f, 0x63, 0x6d, 0x52, 0x5e, 0x00, 0x74, 0x7c, 0x41, 0x4f, 0x10, 0x20, 0x62, 0x6e, 0x30, 0x73, 0x7d,
    0x51, 0x5f, 0x40, 0x72, 0x7e, 0x61, 0x6f, 0x50, 0x71, 0x7f, 0x60, 0x70};

int distanceOf(int code, int width)
{
    if (code > 120)
        return code - 120;
    const int v = NearbyPixels[code - 1], d = (v >> 4) * width + (8 - (v & 0xf));
    return std::max(d, 1);
}

class StreamDecoder {
public:
    explicit StreamDecoder(BitReader bits) : m_bits(std::move(bits)) {}

    bool decode(int width, int height, const LosslessWebpDecoder::RowSink& sink)
    {
        int packedWidth = width;
        for (int seen = 0; m_bits.read(1);) {
            Transform t;
            t.type = TransformType(m_bits.read(2));
            if (seen & (1 << t.type))
                return false;
            seen |= 1 << t.type;
            t.width = packedWidth;
            if (!readTransform(&t, &packedWidth, height))
                return false;
            m_transforms.push_back(std::move(t));
        }
        ImageCodes codes;
        if (!readCodes(packedWidth, height, true, &codes))
            return false;
        std::vector<std::uint32_t> row(std::size_t(width), 0);
        return decodePixels(codes, packedWidth, height, [&](int y, const std::uint32_t* packed) {
            std::copy(packed, packed + packedWidth, row.begin());
            for (auto t = m_transforms.rbegin(); t != m_transforms.rend(); ++t) {
                switch (t->type) {
                case Predictor: undoPredictor(*t, row.data(), y); break;
                case CrossColor: undoCrossColor(*t, row.data(), y); break;
                case SubtractGreen: undoSubtractGreen(*t, row.data()); break;
                case ColorIndexing: undoColorIndexing(*t, row.data()); break;
                }
            }
            return sink(y, row.data());
        });
    }

private:
    bool readTransform(Transform* t, int* width, int height)
    {
        switch (t->type) {
        case Predictor:
        case CrossColor:
            t->bits = int(m_bits.read(3)) + 2;
            if (t->type == Predictor)
                t->above.assign(std::size_t(t->width) + 1, 0); // and the top right of the last column
            return readSubImage(subSampled(t->width, t->bits), subSampled(height, t->bits), &t->data);
        case SubtractGreen:
            return true;
        case ColorIndexing: {
            const int colors = int(m_bits.read(8)) + 1;
            t->bits = colors > 16 ? 0 : colors > 4 ? 1 : colors > 2 ? 2 : 3;
            *width = subSampled(t->width, t->bits);
            if (!readSubImage(colors, 1, &t->data))
                return false;
            for (int i = 1; i < colors; ++i)
                t->data[std::size_t(i)] = addPixels(t->data[std::size_t(i)], t->data[std::size_t(i - 1)]);
            t->data.resize(256, 0); // indices past the table are transparent black
            return true;
        }
        }
        return false;
    }

    bool readSubImage(int width, int height, std::vector<std::uint32_t>* pixels)
    {
        ImageCodes codes;
        if (!readCodes(width, height, false, &codes))
            return false;
        pixels->assign(std::size_t(width) * std::size_t(height), 0);
        return decodePixels(codes, width, height, [](int, const std::uint32_t*) { return true; }, pixels->data());
    }

    bool readCodes(int width, int height, bool main, ImageCodes* codes)
    {
        if (m_bits.read(1)) {
            codes->cacheBits = int(m_bits.read(4));
            if (codes->cacheBits < 1 || codes->cacheBits > MaxCacheBits)
                return false;
        }
        int groups = 1;
        if (main && m_bits.read(1)) {
            codes->metaBits = int(m_bits.read(3)) + 2;
            codes->metaWidth = subSampled(width, codes->metaBits);
            if (!readSubImage(codes->metaWidth, subSampled(height, codes->metaBits), &codes->meta))
                return false;
            // Groups no block uses are read past, not built: a file may
            // number up to 65536 of them.
            std::vector<int> used(1 << 16, -1);
            int count = 0;
            for (std::uint32_t& m : codes->meta) {
                const int g = int((m >> 8) & 0xffff);
                groups = std::max(groups, g + 1);
                if (used[std::size_t(g)] < 0)
                    used[std::size_t(g)] = count++;
                m = std::uint32_t(used[std::size_t(g)]);
            }
            codes->groups.resize(std::size_t(count));
            PrefixCode unused;
            for (int g = 0; g < groups; ++g) {
                CodeGroup* group = used[std::size_t(g)] >= 0 ? &codes->groups[std::size_t(used[std::size_t(g)])] : nullptr;
                for (int c = 0; c < CodesInGroup; ++c)
                    if (!readCode(alphabetSize(c, codes->cacheBits), group ? group->codes[std::size_t(c)] : unused))
                        return false;
            }
            return !m_bits.exhausted();
        }
        codes->groups.resize(1);
        for (int c = 0; c < CodesInGroup; ++c)
            if (!readCode(alphabetSize(c, codes->cacheBits), codes->groups[0].codes[std::size_t(c)]))
                return false;
        return !m_bits.exhausted();
    }

    static int alphabetSize(int code, int cacheBits)
    {
        switch (code) {
        case Green: return NumLiteralCodes + NumLengthCodes + (cacheBits > 0 ? 1 << cacheBits : 0);
        case Distance: return NumDistanceCodes;
        default: return NumLiteralCodes;
        }
    }

    bool readCode(int alphabet, PrefixCode& code)
    {
        std::array<std::uint8_t, NumLiteralCodes + NumLengthCodes + (1 << MaxCacheBits)> lengths{};
        if (m_bits.read(1)) {
            // One or two symbols, each a single bit long.
            const int symbols = int(m_bits.read(1)) + 1;
            const int first = int(m_bits.read(m_bits.read(1) ? 8 : 1));
            lengths[std::size_t(first)] = 1;
            if (symbols == 2)
                lengths[std::size_t(m_bits.read(8))] = 1;
            return code.build(lengths.data(), alphabet);
        }
        static constexpr int Order[19] = {17, 18, 0, 1, 2, 3, 4, 5, 16, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
        std::array<std::uint8_t, 19> lengthLengths{};
        const int count = int(m_bits.read(4)) + 4;
        for (int i = 0; i < count; ++i)
            lengthLengths[std::size_t(Order[i])] = std::uint8_t(m_bits.read(3));
        PrefixCode lengthCode;
        if (!lengthCode.build(lengthLengths.data(), 19))
            return false;
        int limit = alphabet;
        if (m_bits.read(1)) {
            const int bits = 2 + 2 * int(m_bits.read(3));
            limit = 2 + int(m_bits.read(bits));
            if (limit > alphabet)
                return false;
        }
        for (int s = 0, previous = 8; s < alphabet && limit-- > 0;) {
            const int l = lengthCode.read(m_bits);
            if (l < 16) {
                lengths[std::size_t(s++)] = std::uint8_t(l);
                if (l != 0)
                    previous = l;
                continue;
            }
            static constexpr int ExtraBits[3] = {2, 3, 7}, Offsets[3] = {3, 3, 11};
            const int repeat = int(m_bits.read(ExtraBits[l - 16])) + Offsets[l - 16];
            if (s + repeat > alphabet)
                return false;
            std::fill_n(lengths.begin() + s, repeat, std::uint8_t(l == 16 ? previous : 0));
            s += repeat;
        }
        return !m_bits.exhausted() && code.build(lengths.data(), alphabet);
    }

    // Reads width x height pixels, handing each row to `row` once it is
    // whole. `whole` holds the image where given; else a window of the
    // last pixels is kept, as far back as a reference reaches.
    template<class RowDone>
    bool decodePixels(const ImageCodes& codes, int width, int height, RowDone row,
                      std::uint32_t* whole = nullptr)
    {
        const std::int64_t total = std::int64_t(width) * height;
        std::vector<std::uint32_t> window;
        std::int64_t capacity = total, base = 0; // base: the stream's pixel at the buffer's start
        std::uint32_t* buffer = whole;
        if (!whole) {
            capacity = std::min<std::int64_t>(total, std::int64_t(MaxDistance) + 2 * MaxSide + 2 * MaxCopyLength +
                                                         (std::int64_t(1) << 20));
            window.assign(std::size_t(capacity), 0);
            buffer = window.data();
        }
        std::vector<std::uint32_t> cache(codes.cacheBits ? std::size_t(1) << codes.cacheBits : 0);
        const int cacheShift = 32 - codes.cacheBits;
        const int metaMask = codes.meta.empty() ? 0 : (1 << codes.metaBits) - 1;
        const CodeGroup* group = &codes.groupAt(0, 0);
        std::int64_t pos = 0;
        int x = 0, y = 0, done = 0; // rows handed over
        const auto remember = [&](std::uint32_t* from, std::uint32_t* to) {
            if (!cache.empty())
                for (; from < to; ++from)
                    cache[(ColorCacheMultiplier * *from) >> cacheShift] = *from;
        };
        while (pos < total) {
            if (pos - base + MaxCopyLength > capacity) {
                // Keep as much as a reference reaches, and the row begun.
                const std::int64_t keep = std::min<std::int64_t>(pos - base, MaxDistance + std::int64_t(x));
                std::copy(buffer + (pos - base - keep), buffer + (pos - base), buffer);
                base = pos - keep;
            }
            if (metaMask && (x & metaMask) == 0)
                group = &codes.groupAt(x, y);
            std::uint32_t* out = buffer + (pos - base);
            const int code = group->codes[Green].read(m_bits);
            int produced = 1;
            if (code < NumLiteralCodes) {
                const std::uint32_t red = std::uint32_t(group->codes[Red].read(m_bits));
                const std::uint32_t blue = std::uint32_t(group->codes[Blue].read(m_bits));
                const std::uint32_t alpha = std::uint32_t(group->codes[Alpha].read(m_bits));
                *out = (alpha << 24) | (red << 16) | (std::uint32_t(code) << 8) | blue;
            } else if (code < NumLiteralCodes + NumLengthCodes) {
                produced = copyValue(code - NumLiteralCodes, m_bits);
                const int distance = distanceOf(copyValue(group->codes[Distance].read(m_bits), m_bits), width);
                if (distance > pos || produced > total - pos)
                    return false;
                for (int i = 0; i < produced; ++i)
                    out[i] = out[i - distance];
            } else {
                const int key = code - NumLiteralCodes - NumLengthCodes;
                if (key >= int(cache.size()))
                    return false;
                *out = cache[std::size_t(key)];
            }
            remember(out, out + produced);
            pos += produced;
            x += produced;
            if (x >= width) {
                y += x / width;
                x %= width;
                if (m_bits.exhausted())
                    return false;
                for (; done < y; ++done)
                    if (!row(done, buffer + (std::int64_t(done) * width - base)))
                        return true;
            }
            if (metaMask && produced > 1)
                group = &codes.groupAt(x, std::min(y, height - 1));
        }
        return !m_bits.exhausted();
    }

    BitReader m_bits;
    std::vector<Transform> m_transforms;
};

constexpr std::uint8_t Signature = 0x2f;

} // namespace

LosslessWebpDecoder::LosslessWebpDecoder(const std::uint8_t* bitstream, std::size_t size)
    : m_bits(bitstream), m_length(size)
{
    readHeader();
}

LosslessWebpDecoder::LosslessWebpDecoder(const QByteArray& file)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(file.constData());
    const std::size_t size = std::size_t(file.size());
    m_file = data;
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WEBP", 4) != 0)
        return;
    // The chunks after the header: the picture's own is the first of
    // "VP8 " (lossy) and "VP8L"; an animation's frames come in others.
    for (std::size_t at = 12; at + 8 <= size;) {
        const std::size_t length = qFromLittleEndian<std::uint32_t>(data + at + 4);
        const char* tag = reinterpret_cast<const char*>(data + at);
        if (std::memcmp(tag, "VP8 ", 4) == 0 || std::memcmp(tag, "ANMF", 4) == 0 || std::memcmp(tag, "ANIM", 4) == 0)
            return;
        if (std::memcmp(tag, "VP8L", 4) == 0) {
            // To the file's end, past the chunk's own length, as libwebp
            // reads it: so a band has the pixels of the whole decode.
            m_bits = data + at + 8;
            m_length = size - at - 8;
            readHeader();
            return;
        }
        if (length > size - at - 8)
            return;
        at += 8 + length + (length & 1);
    }
}

void LosslessWebpDecoder::readHeader()
{
    if (m_length < 5 || m_bits[0] != Signature) {
        m_bits = nullptr;
        return;
    }
    BitReader bits(m_bits + 1, m_length - 1);
    const int width = int(bits.read(14)) + 1, height = int(bits.read(14)) + 1;
    m_alpha = bits.read(1) != 0;
    if (bits.read(3) != 0) {
        m_bits = nullptr;
        return;
    }
    m_size = QSize(width, height);
}

bool LosslessWebpDecoder::decodeRows(const RowSink& row, int fd) const
{
    if (!isValid())
        return false;
    // Past the header: 8 + 14 + 14 + 1 + 3 bits, five bytes.
    constexpr std::size_t Header = 5;
    StreamDecoder decoder(fd >= 0 && m_file ? BitReader(fd, qint64(m_bits - m_file) + qint64(Header), qint64(m_length - Header))
                                            : BitReader(m_bits + Header, m_length - Header));
    return decoder.decode(m_size.width(), m_size.height(), row);
}
