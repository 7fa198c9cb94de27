// pictavo-test-loader: the loader with requests that only tests may make,
// each what a taken-over decoder would try, or a decoder gone wrong. Built
// with the tests only; the shipped loader has none of this.
#include "loader/LoaderMain.h"

#include <QImage>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

OutgoingReply failedWith(const char* what)
{
    return OutgoingReply::failure(
        QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno))));
}

OutgoingReply readFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return failedWith("open");
    char head[64] = {};
    const ssize_t n = ::read(fd, head, sizeof head - 1);
    return OutgoingReply::failure(QStringLiteral("read %1 bytes: %2").arg(n).arg(QLatin1String(head)));
}

OutgoingReply writeFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return failedWith("open");
    return ::write(fd, "taken over\n", 11) == 11 ? OutgoingReply::failure(QStringLiteral("written"))
                                                 : failedWith("write");
}

OutgoingReply runProgram(const QByteArray& marker)
{
    const QByteArray script = "echo ran > '" + marker + "'";
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(script.constData()),
                    nullptr};
    char* env[] = {nullptr};
    ::execve("/bin/sh", argv, env);
    return failedWith("execve");
}

[[noreturn]] void allocateForever()
{
    constexpr size_t Chunk = size_t(64) << 20;
    for (;;) {
        void* block = std::malloc(Chunk);
        if (!block)
            throw std::bad_alloc();
        std::memset(block, 1, Chunk);
    }
}

// A decode's reply whose pixels are more than the memory they came in.
OutgoingReply liesAboutItsPixels(const PixelMemory& memory)
{
    const QSize stored(64, 64);
    OutgoingReply out;
    out.reply.done = true;
    out.reply.format = 3; // PNG
    out.reply.size = QSize(1000, 1000);
    out.reply.storedSize = out.reply.size;
    out.reply.pixels = PixelLayout{out.reply.size, 4 * out.reply.size.width(), quint32(QImage::Format_RGB32),
                                   QRect(QPoint(0, 0), out.reply.size)};
    const qint64 size = 4 * stored.width() * stored.height();
    const UniqueFd given = memory(size);
    void* pixels = ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_SHARED, given.get(), 0);
    if (pixels == MAP_FAILED)
        return failedWith("mmap");
    std::memset(pixels, 0x7F, size_t(size));
    ::munmap(pixels, size_t(size));
    return out;
}

// A file made to bring its decoder down, as a hostile picture would: it
// ends with the marker.
bool endsWith(const std::vector<UniqueFd>& fds, QByteArrayView marker)
{
    QByteArray tail(marker.size(), '\0');
    struct stat st {};
    return !fds.empty() && ::fstat(fds.front().get(), &st) == 0 && st.st_size >= off_t(tail.size()) &&
           ::pread(fds.front().get(), tail.data(), size_t(tail.size()), st.st_size - off_t(tail.size())) ==
               ssize_t(tail.size()) &&
           tail == marker;
}

bool isHostile(const LoaderRequest& request, const std::vector<UniqueFd>& fds)
{
    return request.task == LoaderTask::Rows && request.region.top() > 0 && endsWith(fds, "crash-mid-rows");
}

std::optional<OutgoingReply> answerTestTask(const LoaderRequest& request, std::vector<UniqueFd>& fds,
                                            const PixelMemory& memory)
{
    const qsizetype blank = request.arguments.indexOf(' ');
    const QByteArray command = blank < 0 ? request.arguments : request.arguments.left(blank);
    const QByteArray path = blank < 0 ? QByteArray() : request.arguments.mid(blank + 1);
    if (command == "read-file")
        return readFile(path);
    if (command == "write-file")
        return writeFile(path);
    if (command == "run-program")
        return runProgram(path);
    if (command == "open-socket")
        return ::socket(AF_INET, SOCK_STREAM, 0) < 0 ? failedWith("socket")
                                                     : OutgoingReply::failure("socket");
    if (command == "chmod-passed")
        return ::fchmod(fds.at(0).get(), 0) != 0 ? failedWith("fchmod") : OutgoingReply::failure("chmod");
    if (command == "crash" || isHostile(request, fds)) {
        volatile int* volatile nowhere = reinterpret_cast<int*>(std::uintptr_t(16));
        *nowhere = 1;
    }
    if (command == "hang")
        for (;;)
            asm volatile("" ::: "memory");
    if (command == "allocate-forever")
        allocateForever();
    if (command == "lie-about-pixels")
        return liesAboutItsPixels(memory);
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv)
{
    return runLoader(argc, argv, answerTestTask);
}
