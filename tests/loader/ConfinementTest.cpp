// A loader taken over, or gone wrong, harms nothing: what it tries fails
// or ends it, the viewer gets one failure with the reason in words, and the
// next picture is read by a new loader. Landlock alone refuses every path.
#include "core/KernelConfinement.h"
#include "effects/StreamedTone.h"
#include "graphics/Picture.h"
#include "graphics/PictureLoaders.h"
#include "loader/LandlockRuleset.h"

#include "tests/support/ErrorText.h"
#include "tests/support/FileBytes.h"
#include "tests/support/KindPictures.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;

struct Attempt {
    const char* name;
    const char* command; // %1: a folder of the test's own
    const char* said;
    const char* leftBehind; // a file in that folder that must not appear
};

const Attempt Attempts[] = {
    {"ReadsPasswd", "read-file /etc/passwd", "open: Operation not permitted", nullptr},
    {"WritesAFile", "write-file %1/written", "open: Operation not permitted", "written"},
    {"OpensASocket", "open-socket", "its reader stopped (it tried something it may not).", nullptr},
    {"RunsAProgram", "run-program %1/ran", "its reader stopped (it tried something it may not).", "ran"},
    {"ChangesThePassedFile", "chmod-passed", "its reader stopped (it tried something it may not).", nullptr},
    {"Crashes", "crash", "its reader stopped (it crashed).", nullptr},
    {"Hangs", "hang", "its reader stopped (it ran out of time).", nullptr},
    {"AllocatesWithoutEnd", "allocate-forever", "its reader stopped (it ran out of memory).", nullptr},
    // One answer out of range; every other kind (pixels still writable...) is LoaderReplyCheck's.
    {"LiesAboutItsPixels", "lie-about-pixels", "its reader stopped (its answer was not valid).", nullptr},
};

class LoaderGoneWrong : public ::testing::TestWithParam<Attempt> {};

TEST_P(LoaderGoneWrong, CostsOnePictureOnly)
{
    const Attempt& a = GetParam();
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("picture.png"));
    ASSERT_TRUE(putBytes(picture, kinds::encoded(kinds::quadrants(8, 8), "png")));
    const auto permissions = QFileInfo(picture).permissions();
    PictureLoaders::Options options;
    options.program = QStringLiteral(PV_BINARY_DIR "/pictavo-test-loader");
    options.loaders = 1;
    options.timeLimit = std::chrono::seconds(3);
    options.memoryLimit = qint64(384) << 20; // some 130 MiB past what its libraries take
    PictureLoaders pool(options);
    LoaderRequest request;
    request.task = LoaderTask::Decode;
    pool.ask(picture, request); // the loader that will go wrong

    LoaderRequest attempt = request;
    attempt.arguments = QByteArray(a.command).replace("%1", QFile::encodeName(dir.path()));
    EXPECT_THAT(errorText([&] { pool.ask(picture, attempt); }).toStdString(),
                AllOf(HasSubstr(a.said), Not(HasSubstr("root:"))));
    if (a.leftBehind) {
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(QLatin1String(a.leftBehind))));
    }
    EXPECT_EQ(QFileInfo(picture).permissions(), permissions);
    EXPECT_EQ(pool.ask(picture, request).image.size(), QSize(8, 8));
    EXPECT_EQ(pool.loadersStarted(), 2);
}

INSTANTIATE_TEST_SUITE_P(Attempts, LoaderGoneWrong, ::testing::ValuesIn(Attempts),
                         [](const auto& info) { return std::string(info.param.name); });

// A batch reads a JPEG's rows through a loader too: one that stops mid-file
// costs that file, which stays as it was.
TEST(LoaderGoneWrong, AStreamedFileWhoseLoaderStopsStaysAsItWas)
{
    PictureLoaders::Options options;
    options.program = QStringLiteral(PV_BINARY_DIR "/pictavo-test-loader");
    PictureLoaders::setSharedOptions(options);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tall.jpg"));
    const QByteArray bytes = kinds::encoded(kinds::quadrants(64, 100), "jpg") + "crash-mid-rows";
    ASSERT_TRUE(putBytes(path, bytes));
    EffectValues values{};
    values[std::size_t(Effect::Brightness)] = 9;
    NoiseGenerator random;
    EXPECT_EQ(errorText([&] { renderFileStreamed(path, path, values, ExifOrientation::Apply, random); }).toStdString(),
              msg::readerStopped(path, QStringLiteral("it crashed")).toStdString());
    EXPECT_TRUE(fileBytes(path) == bytes);
}

// Without the system call filter, whose EPERM comes first, Landlock's own
// refusal shows: no path opens, none is made.
TEST(Landlock, RefusesEveryPath)
{
    if (KernelConfinement::probe().landlockAbi == 0)
        GTEST_SKIP() << "this kernel has no Landlock (its ABI version is 0)";
    QTemporaryDir dir;
    const QByteArray made = QFile::encodeName(dir.filePath(QStringLiteral("made")));
    EXPECT_EXIT(
        {
            ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
            if (!restrictWithLandlock().applied)
                ::_exit(1);
            const bool readRefused = ::open("/etc/passwd", O_RDONLY) < 0 && errno == EACCES;
            const bool makeRefused =
                ::open(made.constData(), O_WRONLY | O_CREAT, 0644) < 0 && errno == EACCES;
            ::_exit(readRefused && makeRefused ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_FALSE(QFileInfo::exists(QFile::decodeName(made)));
}

} // namespace
