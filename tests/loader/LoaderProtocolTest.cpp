// The messages between the viewer and its loaders: they survive the trip
// whole, in any size; and the viewer takes a reply only when every part
// of it is in range and its pixels are what the sealed memfd holds.
#include "core/LoaderChannel.h"
#include "core/LoaderReply.h"
#include "core/LoaderRequest.h"
#include "core/SealedBuffer.h"
#include "graphics/KeptMetadata.h"
#include "graphics/LoaderAnswer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/mman.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

LoaderRequest fullRequest()
{
    LoaderRequest r;
    r.task = LoaderTask::Rewrite;
    r.name = QStringLiteral("/photos/Ärger.jpg");
    r.applyOrientation = false;
    r.shape = DecodeShape::Band;
    r.size = QSize(640, 480);
    r.region = QRect(0, 16, 640, 64);
    r.keys = {"Exif.Image.Make", "Xmp.dc.title"};
    r.rewrite = RewriteKind::WithPixels;
    r.angle = 270;
    r.pixels = PixelLayout{QSize(4, 3), 12, quint32(QImage::Format_BGR888), QRect(0, 0, 4, 3)};
    r.arguments = "crash";
    r.frame = 41;
    return r;
}

LoaderReply fullReply()
{
    LoaderReply r;
    r.done = true;
    r.error = QStringLiteral("JPEG error #53");
    r.format = 1;
    r.size = QSize(3, 4);
    r.orientation = 6;
    r.damage = 2;
    r.iccProfile = QByteArray(300, 'p');
    r.pixels = PixelLayout{QSize(3, 4), 12, quint32(QImage::Format_RGB32), QRect(0, 0, 3, 4)};
    r.values = {{"Exif.Image.Make", "Canon"}};
    r.edits = {ByteEdit{20, 2, "\x00\x01"}, ByteEdit{400, 0, "new"}};
    r.newFile = QByteArray(70000, 'f');
    r.frames = 48;
    r.frameDelay = 50;
    r.plays = 3;
    r.rewritable = true;
    return r;
}

TEST(LoaderMessages, SurviveTheirEncodingAndRefuseEveryCut)
{
    const QByteArray request = fullRequest().encoded();
    const QByteArray reply = fullReply().encoded();
    const std::optional<LoaderRequest> r = LoaderRequest::decoded(request);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->encoded(), request);
    EXPECT_EQ(r->name, fullRequest().name);
    ASSERT_TRUE(LoaderReply::decoded(reply));
    EXPECT_EQ(LoaderReply::decoded(reply)->encoded(), reply);
    for (qsizetype n = 0; n < request.size(); ++n)
        EXPECT_FALSE(LoaderRequest::decoded(request.left(n))) << n;
    for (qsizetype n = 0; n < reply.size(); n += 97)
        EXPECT_FALSE(LoaderReply::decoded(reply.left(n))) << n;
    EXPECT_FALSE(LoaderReply::decoded(reply + '\0'));
}

class ChannelBody : public ::testing::TestWithParam<qsizetype> {};

// Each way: a request with a descriptor, and the reply in memory the
// viewer gave.
TEST_P(ChannelBody, ArrivesWholeBothWays)
{
    auto [a, b] = LoaderChannel::socketPair();
    LoaderChannel viewer(std::move(a), LoaderChannel::Memory::Own);
    LoaderChannel loader(std::move(b), LoaderChannel::Memory::Asked);
    QByteArray body(GetParam(), '\0');
    for (qsizetype i = 0; i < body.size(); ++i)
        body[i] = char(i * 7 + i / 251);
    ASSERT_TRUE(viewer.send(body, {viewer.socket()}));
    LoaderChannel::Message m;
    ASSERT_EQ(loader.receive(m), LoaderChannel::Received::Message);
    EXPECT_EQ(m.body, body);
    EXPECT_EQ(m.fds.size(), 1u);

    std::thread replying([&] { EXPECT_TRUE(loader.send(body)); });
    LoaderChannel::Received received;
    while ((received = viewer.receive(m)) == LoaderChannel::Received::MemoryGiven) {
    }
    replying.join();
    ASSERT_EQ(received, LoaderChannel::Received::Message);
    EXPECT_EQ(m.body, body);
    EXPECT_TRUE(m.fds.empty());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChannelBody,
                         ::testing::Values(0, LoaderChannel::InlineBodyBytes,
                                           LoaderChannel::InlineBodyBytes + 1, 3 << 20));

class GivenMemoryPieces : public ::testing::TestWithParam<qint64> {};

// Memory given is filled piece after piece through a moving window: pieces
// that straddle its ends, or outgrow it, land where they belong.
TEST_P(GivenMemoryPieces, LandInOrderAcrossTheWindows)
{
    const qint64 piece = GetParam();
    const qint64 size = piece * (2 * GivenMemoryFill::Window / piece + 3);
    const UniqueFd fd = SealedBuffer::toGive(size);
    ASSERT_TRUE(fd.isValid());
    const auto byteAt = [](qint64 i) { return char(i * 7 + i / 4093); };
    {
        GivenMemoryFill fill(fd.get(), size);
        for (qint64 at = 0; at < size; at += piece) {
            uchar* to = fill.next(piece);
            for (qint64 i = 0; i < piece; ++i)
                to[i] = uchar(byteAt(at + i));
        }
        EXPECT_THROW(fill.next(1), std::bad_alloc);
    }
    QByteArray read(qsizetype(size), '\0');
    ASSERT_EQ(::pread(fd.get(), read.data(), size_t(size), 0), size);
    qint64 wrong = -1;
    for (qint64 i = 0; i < size && wrong < 0; ++i)
        if (read[qsizetype(i)] != byteAt(i))
            wrong = i;
    EXPECT_EQ(wrong, -1);
    EXPECT_TRUE(SealedBuffer::sealGiven(fd.get())) << "a writable mapping was left";
}

INSTANTIATE_TEST_SUITE_P(Pieces, GivenMemoryPieces,
                         ::testing::Values(3 * 1001, 4096, GivenMemoryFill::Window + 5));

// A loader's descriptors are never taken: its memory comes from the viewer.
TEST(LoaderChannel, RefusesAForeignDatagramAndALoadersDescriptor)
{
    auto [a, b] = LoaderChannel::socketPair();
    LoaderChannel viewer(std::move(a), LoaderChannel::Memory::Own);
    LoaderChannel loader(std::move(b), LoaderChannel::Memory::Asked);
    LoaderChannel::Message m;
    ASSERT_EQ(::send(viewer.socket(), "not ours", 8, 0), 8);
    EXPECT_EQ(loader.receive(m), LoaderChannel::Received::Malformed);
    ASSERT_TRUE(loader.send("reply", {loader.socket()}));
    EXPECT_EQ(viewer.receive(m), LoaderChannel::Received::Malformed);
    loader = LoaderChannel(UniqueFd(), LoaderChannel::Memory::Asked);
    EXPECT_EQ(viewer.receive(m), LoaderChannel::Received::Closed);
}

// A reply to check, and the memfd its pixels come in.
struct Reply {
    LoaderRequest request;
    LoaderReply reply;
    qint64 memfdBytes = -1; // -1: what the layout says
    int seals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;
    bool extraDescriptor = false;
    qint64 rowsMemoryBytes = -1; // rows asked into memory sent along, of this size
};

Reply decodeReply()
{
    Reply r;
    r.request.task = LoaderTask::Decode;
    r.reply.done = true;
    r.reply.format = 3;
    r.reply.size = r.reply.storedSize = QSize(4, 3);
    r.reply.pixels = PixelLayout{QSize(4, 3), 16, quint32(QImage::Format_RGB32), QRect(0, 0, 4, 3)};
    return r;
}

std::optional<LoaderAnswer> check(const Reply& r)
{
    LoaderChannel::Message m;
    m.body = r.reply.encoded();
    if (r.reply.pixels && r.rowsMemoryBytes < 0) {
        const qint64 bytes = r.memfdBytes >= 0 ? r.memfdBytes : r.reply.pixels->byteCount();
        UniqueFd fd(::memfd_create("pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING));
        if (::ftruncate(fd.get(), bytes) != 0 || ::pwrite(fd.get(), "\x10\x20\x30\xFF", 4, 0) != 4 ||
            ::fcntl(fd.get(), F_ADD_SEALS, r.seals) != 0)
            return std::nullopt;
        m.fds.push_back(std::move(fd));
    }
    if (r.extraDescriptor)
        m.fds.emplace_back(::dup(0));
    return LoaderAnswer::fromMessage(m, r.request, 1000, r.rowsMemoryBytes);
}

// Rows of the 4x3 picture asked into memory of `bytes` sent along.
std::function<void(Reply&)> rowsInSentMemory(qint64 bytes, bool descriptor = false)
{
    return [bytes, descriptor](Reply& r) {
        r.request.task = LoaderTask::Rows, r.request.region = QRect(0, 0, 4, 3);
        r.reply.pixels = PixelLayout{QSize(4, 3), 12, quint32(QImage::Format_BGR888), QRect(0, 0, 4, 3)};
        r.rowsMemoryBytes = bytes, r.extraDescriptor = descriptor;
    };
}

// A Metadata answer with these values to a request for the make and model.
std::function<void(Reply&)> metadata(QList<std::pair<QByteArray, QByteArray>> values)
{
    return [values](Reply& r) {
        r.request.task = LoaderTask::Metadata, r.request.keys = {"Make", "Model"}, r.reply.pixels.reset();
        r.reply.values = values;
    };
}

// A request of this task answered without pixels.
void bare(Reply& r, LoaderTask task)
{
    r.request.task = task;
    r.reply.pixels.reset();
}

struct ReplyCase {
    const char* name;
    std::function<void(Reply&)> change;
    bool taken;
};

using T = LoaderTask;
// clang-format off
const ReplyCase ReplyCases[] = {
    {"Decode", [](Reply&) {}, true},
    {"Probe", [](Reply& r) { bare(r, T::Probe); }, true},
    {"Band", [](Reply& r) { r.request.shape = DecodeShape::Band, r.reply.pixels->region = QRect(0, 1, 4, 3), r.reply.size = r.reply.storedSize = QSize(4, 5); }, true},
    {"Edits", [](Reply& r) { bare(r, T::Rewrite), r.reply.edits = {{2, 2, "ab"}, {4, 0, "c"}, {990, 10, ""}}; }, true},
    {"NewFile", [](Reply& r) { bare(r, T::Rewrite), r.reply.newFile = "new"; }, true},
    {"NoExifThumbnailToUse", [](Reply& r) { r.request.shape = DecodeShape::ExifThumbnail, r.request.size = {2, 2}, r.reply.pixels.reset(); }, true},
    {"TextsAskedFor", [](Reply& r) { r.request.keys = {"Thumb::URI"}, r.reply.values = {{"Thumb::URI", "file:///a.png"}}; }, true},
    {"Failure", [](Reply& r) { r.reply = LoaderReply(), r.reply.error = QStringLiteral("JPEG error #53"); }, true},
    {"MetadataAsked", metadata({{"Model", "P6000"}, {"Make", "NIKON"}}), true},
    {"MetadataNotAsked", metadata({{"Lens", "24 mm"}}), false},
    {"MetadataTwice", metadata({{"Make", "a"}, {"Make", "b"}}), false},
    {"MetadataTooLong", metadata({{"Make", QByteArray(5000, 'x')}}), false},
    {"MoreRowsThanMapped", [](Reply& r) { r.memfdBytes = 32; }, false},
    {"MoreBytesThanSaid", [](Reply& r) { r.memfdBytes = 4096; }, false},
    {"Unsealed", [](Reply& r) { r.seals = 0; }, false},
    {"StillWritable", [](Reply& r) { r.seals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL; }, false},
    {"LinesTooShort", [](Reply& r) { r.reply.pixels->bytesPerLine = 12; }, false},
    {"LinesUnaligned", [](Reply& r) { r.reply.pixels->format = QImage::Format_RGB888, r.reply.pixels->bytesPerLine = 13; }, false},
    {"PaletteWithoutColours", [](Reply& r) { r.reply.pixels->format = QImage::Format_Indexed8, r.reply.pixels->bytesPerLine = 4; }, false},
    {"UnknownPixelFormat", [](Reply& r) { r.reply.pixels->format = QImage::NImageFormats; }, false},
    {"WholeSmallerThanPicture", [](Reply& r) { r.reply.size = QSize(5, 3), r.reply.pixels->region = QRect(0, 0, 5, 3); }, false},
    {"LargerThanPicture", [](Reply& r) { r.reply.pixels->size = QSize(5, 3), r.reply.pixels->bytesPerLine = 20; }, false},
    {"BandOutsidePicture", [](Reply& r) { r.request.shape = DecodeShape::Band, r.reply.pixels->region = QRect(1, 0, 4, 3); }, false},
    {"NoKind", [](Reply& r) { r.reply.format = 0; }, false},
    {"StoredSizeNotTheShownTurned", [](Reply& r) { r.reply.storedSize = QSize(3, 3); }, false},
    {"UnknownKind", [](Reply& r) { r.reply.format = 13; }, false},
    {"OrientationNine", [](Reply& r) { r.reply.orientation = 9; }, false},
    {"UnknownDamage", [](Reply& r) { r.reply.damage = 3; }, false},
    {"PastThePixelLimit", [](Reply& r) { r.reply.size = QSize(1 << 20, 1 << 20); }, false},
    {"PixelsForAProbe", [](Reply& r) { r.request.task = T::Probe; }, false},
    {"NoPixelsForADecode", [](Reply& r) { r.reply.pixels.reset(); }, false},
    {"DescriptorTooMany", [](Reply& r) { r.extraDescriptor = true; }, false},
    {"FailureWithPixels", [](Reply& r) { r.reply.done = false, r.reply.error = QStringLiteral("x"); }, false},
    {"FailureWithoutWords", [](Reply& r) { r.reply = LoaderReply(); }, false},
    {"ErrorTooLong", [](Reply& r) { r.reply = LoaderReply(), r.reply.error = QString(5000, QLatin1Char('x')); }, false},
    {"EditsOverlap", [](Reply& r) { bare(r, T::Rewrite), r.reply.edits = {{2, 4, ""}, {4, 1, ""}}; }, false},
    {"EditPastTheEnd", [](Reply& r) { bare(r, T::Rewrite), r.reply.edits = {{995, 10, ""}}; }, false},
    {"Frame", [](Reply& r) { r.request.task = T::Frame, r.reply.frameDelay = 600'000; }, true},
    {"PastTheLastFrame", [](Reply& r) { bare(r, T::Frame), r.request.frame = 3, r.reply.frames = 3; }, true},
    {"FrameBeyondItsCount", [](Reply& r) { r.request.task = T::Frame, r.request.frame = 3, r.reply.frames = 3; }, false},
    {"NoFrameBeforeTheEnd", [](Reply& r) { bare(r, T::Frame), r.request.frame = 2, r.reply.frames = 3; }, false},
    {"FrameDelayPastTenMinutes", [](Reply& r) { r.request.task = T::Frame, r.reply.frameDelay = 600'001; }, false},
    {"FrameDelayNegative", [](Reply& r) { r.request.task = T::Frame, r.reply.frameDelay = -1; }, false},
    {"FrameNotTheCanvas", [](Reply& r) { r.request.task = T::Frame, r.reply.size = r.reply.storedSize = QSize(5, 3); }, false},
    {"FrameFactsForADecode", [](Reply& r) { r.reply.plays = 1; }, false},
    {"NewFileAndEdits", [](Reply& r) { bare(r, T::Rewrite), r.reply.edits = {{0, 1, "x"}}, r.reply.newFile = "new"; }, false},
    {"NewFileForAProbe", [](Reply& r) { bare(r, T::Probe), r.reply.newFile = "new"; }, false},
    {"TextsNotAskedFor", [](Reply& r) { r.reply.values = {{"Thumb::URI", "file:///a.png"}}; }, false},
    {"EditsForADecode", [](Reply& r) { r.reply.edits = {{0, 1, "x"}}; }, false},
    {"RowsInMemorySent", rowsInSentMemory(36), true},
    {"RowsPastTheMemorySent", rowsInSentMemory(24), false},
    {"RowsInMemorySentAndADescriptor", rowsInSentMemory(36, true), false},
};
// clang-format on

class LoaderReplyCheck : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(LoaderReplyCheck, TakesOnlyWhatIsInRange)
{
    Reply r = decodeReply();
    GetParam().change(r);
    const std::optional<LoaderAnswer> answer = check(r);
    ASSERT_EQ(answer.has_value(), GetParam().taken);
    if (answer && r.reply.pixels && r.rowsMemoryBytes < 0) { // the image shows the memfd's own bytes
        EXPECT_EQ(answer->image.pixel(0, 0), 0xFF302010u);
    }
    if (answer && r.rowsMemoryBytes >= 0) { // rows sent along are read there, not mapped again
        EXPECT_TRUE(answer->image.isNull());
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, LoaderReplyCheck, ::testing::ValuesIn(ReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

// What a streamed JPEG write copies unread into its new file and hands
// its encoder: taken only in range.
struct KeptCase {
    const char* name;
    std::function<void(JpegReplacement&)> change;
    bool taken;
};

// clang-format off
const KeptCase KeptCases[] = {
    {"AsMade", [](JpegReplacement&) {}, true},
    {"NoEncodingNoThumbnail", [](JpegReplacement& k) { k.metadata.encoding.reset(), k.thumbnail = QSize(); }, true},
    {"NotAnAppSegment", [](JpegReplacement& k) { k.metadata.segments[0].marker = 0xD9; }, false},
    {"SegmentPastItsLength", [](JpegReplacement& k) { k.metadata.segments[0].payload = QByteArray(65534, 'x'); }, false},
    {"NoSampling", [](JpegReplacement& k) { k.metadata.encoding->v[1] = 0; }, false},
    {"TwoComponents", [](JpegReplacement& k) { k.metadata.encoding->components = 2; }, false},
    {"UnknownColourSpace", [](JpegReplacement& k) { k.metadata.encoding->colourSpace = 6; }, false},
    {"HugeThumbnail", [](JpegReplacement& k) { k.thumbnail = QSize(4000, 3000); }, false},
    {"EmptyThumbnail", [](JpegReplacement& k) { k.thumbnail = QSize(0, 120); }, false},
};
// clang-format on

class KeptMetadataCheck : public ::testing::TestWithParam<KeptCase> {};

TEST_P(KeptMetadataCheck, TakesOnlyWhatTheEncoderCanUse)
{
    JpegReplacement kept;
    kept.metadata.segments = {{0xE1, QByteArray("Exif\0\0II*\0", 10)}, {0xFE, "a comment"}};
    kept.metadata.encoding = JpegEncoding{};
    kept.thumbnail = QSize(160, 120);
    GetParam().change(kept);
    const std::optional<JpegReplacement> back = decodedReplacement(encodedReplacement(kept));
    ASSERT_EQ(back.has_value(), GetParam().taken);
    if (back) {
        EXPECT_EQ(back->metadata.segments, kept.metadata.segments);
        EXPECT_EQ(back->metadata.encoding, kept.metadata.encoding);
        EXPECT_EQ(back->thumbnail, kept.thumbnail);
    }
}

INSTANTIATE_TEST_SUITE_P(Kept, KeptMetadataCheck, ::testing::ValuesIn(KeptCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
