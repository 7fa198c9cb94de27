// Only regular files are read, never past the cap: names that lead to a
// FIFO, a device or a socket are refused before anything is read, and the
// refusal never waits on a FIFO that has no writer.
#include "core/RegularFile.h"
#include "core/AtomicFile.h"
#include "tests/support/ErrorText.h"
#include "tests/support/Printers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

struct NameCase {
    const char* name;
    // Makes what the name leads to in `dir`; answers the name to read.
    std::function<QString(const QTemporaryDir& dir)> make;
    const char* reason; // empty: the file reads
};

QString fifo(const QTemporaryDir& dir)
{
    const QString path = dir.filePath("pipe.jpg");
    ::mkfifo(QFile::encodeName(path).constData(), 0600);
    return path;
}

QString linkTo(const QTemporaryDir& dir, const QString& target)
{
    const QString path = dir.filePath("link.jpg");
    ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData());
    return path;
}

QString socketFile(const QTemporaryDir& dir)
{
    const QString path = dir.filePath("s.bmp");
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path - 1);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::close(fd);
    return path;
}

class Names : public ::testing::TestWithParam<NameCase> {};

TEST_P(Names, LeadToARegularFileOrAreRefusedAtOnce)
{
    QTemporaryDir dir;
    writeFileAtomically(dir.filePath("real.jpg"), "picture bytes");
    const QString path = GetParam().make(dir);
    // On a worker: a reader that waits on the FIFO is let go below, and fails.
    std::promise<QString> result;
    std::thread reader(
        [&] { result.set_value(errorText([&] { EXPECT_FALSE(readWholeFile(path).isNull()); })); });
    std::future<QString> done = result.get_future();
    const bool atOnce = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!atOnce)
        ::close(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK));
    reader.join();
    EXPECT_TRUE(atOnce) << "the read waited";
    const QString reason = QString::fromUtf8(GetParam().reason);
    EXPECT_EQ(done.get(),
              reason.isEmpty() ? QString() : QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Names,
    ::testing::Values(NameCase{"Regular", [](const QTemporaryDir& d) { return d.filePath("real.jpg"); }, ""},
                      NameCase{"LinkToRegular",
                               [](const QTemporaryDir& d) { return linkTo(d, d.filePath("real.jpg")); }, ""},
                      NameCase{"Fifo", fifo, "It is a named pipe, not a regular file."},
                      NameCase{"LinkToFifo", [](const QTemporaryDir& d) { return linkTo(d, fifo(d)); },
                               "It is a named pipe, not a regular file."},
                      NameCase{"LinkToZero", [](const QTemporaryDir& d) { return linkTo(d, "/dev/zero"); },
                               "It is a device, not a regular file."},
                      NameCase{"Urandom", [](const QTemporaryDir&) { return QStringLiteral("/dev/urandom"); },
                               "It is a device, not a regular file."},
                      NameCase{"Socket", socketFile, "It is a socket, not a regular file."},
                      NameCase{"Folder", [](const QTemporaryDir& d) { return d.path(); }, "Is a directory"},
                      NameCase{"Missing", [](const QTemporaryDir& d) { return d.filePath("none.jpg"); },
                               "No such file or directory"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RegularFileCap, NoReadRunsPastIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.bmp");
    writeFileAtomically(path, QByteArray(100000, 'x'));
    RegularFile file(path);
    EXPECT_EQ(file.readHead(10), QByteArray(10, 'x'));
    EXPECT_EQ(file.readAll(100000).size(), 100000);
    EXPECT_EQ(errorText([&] { file.readAll(99999); }),
              QStringLiteral("Cannot open file \"%1\". File too large").arg(path));

    // Grown since it was opened: read whole and in order, within the cap.
    QByteArray more(300001, '\0');
    for (qsizetype i = 0; i < more.size(); ++i)
        more[i] = char(i * 7 % 251);
    QFile grow(path);
    ASSERT_TRUE(grow.open(QIODevice::Append));
    ASSERT_EQ(grow.write(more), more.size());
    grow.close();
    EXPECT_TRUE(file.readAll() == QByteArray(100000, 'x') + more);
    EXPECT_EQ(file.readAll(400001).size(), 400001);
    EXPECT_EQ(errorText([&] { file.readAll(400000); }),
              QStringLiteral("Cannot open file \"%1\". File too large").arg(path));
}

} // namespace
