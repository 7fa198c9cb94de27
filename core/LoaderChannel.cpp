#include "core/LoaderChannel.h"

#include "core/SealedBuffer.h"
#include "core/SealedMapping.h"

#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/socket.h>

namespace {

// Every datagram starts with the magic and its kind; all but an inline
// message add a size. A body in a memfd made by its sender comes as the
// last descriptor; one in memory given comes in the last memory given.
constexpr quint32 Magic = 0x4D4C5650; // "PVLM"
enum Kind : quint32 { Inline, BodyInMemfd, BodyInGivenMemory, MemoryWanted, MemoryGiven };
constexpr qsizetype HeaderBytes = 8;
constexpr qsizetype SizedBytes = HeaderBytes + 8;

QByteArray header(Kind kind, qint64 size = 0)
{
    QByteArray h(kind == Inline ? HeaderBytes : SizedBytes, '\0');
    qToLittleEndian(Magic, h.data());
    qToLittleEndian(quint32(kind), h.data() + 4);
    if (kind != Inline)
        qToLittleEndian(size, h.data() + 8);
    return h;
}

// Moves the descriptors of every SCM_RIGHTS part into `fds`, so that each
// is closed whatever becomes of the datagram.
void takeDescriptors(msghdr& msg, std::vector<UniqueFd>& fds)
{
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t n = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < n; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
            fds.emplace_back(fd);
        }
    }
}

} // namespace

std::pair<UniqueFd, UniqueFd> LoaderChannel::socketPair()
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return {};
    return {UniqueFd(ends[0]), UniqueFd(ends[1])};
}

UniqueFd LoaderChannel::memory(qint64 size)
{
    if (m_memory == Memory::Own || size <= 0)
        return SealedBuffer::toGive(size);
    if (size > MaxGivenBytes || !sendDatagram(header(MemoryWanted, size), {}))
        return UniqueFd();
    Message given;
    if (receive(given) != Received::Message || given.fds.size() != 1)
        return UniqueFd();
    return std::move(given.fds.front());
}

bool LoaderChannel::send(QByteArrayView body, const std::vector<int>& fds)
{
    if (body.size() <= InlineBodyBytes) {
        QByteArray datagram = header(Inline);
        datagram.append(body);
        return sendDatagram(datagram, fds);
    }
    if (body.size() > MaxBodyBytes || (m_memory == Memory::Asked && !fds.empty()))
        return false;
    try {
        if (m_memory == Memory::Asked) {
            // Unmapped before it is sent, or the viewer can't seal it.
            {
                SealedBuffer buffer(memory(body.size()), body.size());
                std::memcpy(buffer.data(), body.data(), size_t(body.size()));
            }
            return sendDatagram(header(BodyInGivenMemory, body.size()), {});
        }
        SealedBuffer buffer(memory(body.size()), body.size());
        std::memcpy(buffer.data(), body.data(), size_t(body.size()));
        const UniqueFd bodyFd = buffer.seal();
        std::vector<int> all = fds;
        all.push_back(bodyFd.get());
        return bodyFd.isValid() && sendDatagram(header(BodyInMemfd, body.size()), all);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool LoaderChannel::sendDatagram(const QByteArray& datagram, const std::vector<int>& fds)
{
    if (fds.size() > size_t(MaxDescriptors))
        return false;
    iovec iov{const_cast<char*>(datagram.constData()), size_t(datagram.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * MaxDescriptors)] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    if (!fds.empty()) {
        msg.msg_control = control;
        msg.msg_controllen = CMSG_SPACE(sizeof(int) * fds.size());
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int) * fds.size());
        std::memcpy(CMSG_DATA(c), fds.data(), sizeof(int) * fds.size());
    }
    for (;;) {
        const ssize_t n = ::sendmsg(m_socket.get(), &msg, MSG_NOSIGNAL);
        if (n >= 0)
            return n == datagram.size();
        if (errno != EINTR)
            return false;
    }
}

// One datagram and its descriptors: its length, 0 when the other end is
// gone, -1 for anything not whole or not ours.
qsizetype LoaderChannel::receiveDatagram(QByteArray& datagram, std::vector<UniqueFd>& fds)
{
    datagram = QByteArray(HeaderBytes + InlineBodyBytes, '\0');
    iovec iov{datagram.data(), size_t(datagram.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * MaxDescriptors)] = {};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    ssize_t n;
    do {
        n = ::recvmsg(m_socket.get(), &msg, MSG_CMSG_CLOEXEC);
    } while (n < 0 && errno == EINTR);
    if (n == 0 || (n < 0 && (errno == ECONNRESET || errno == EPIPE)))
        return 0;
    if (n < 0)
        return -1;
    takeDescriptors(msg, fds);
    if ((msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) || n < HeaderBytes ||
        qFromLittleEndian<quint32>(datagram.constData()) != Magic)
        return -1;
    return qsizetype(n);
}

LoaderChannel::Received LoaderChannel::receive(Message& out)
{
    out = Message();
    QByteArray datagram;
    std::vector<UniqueFd> fds;
    const qsizetype n = receiveDatagram(datagram, fds);
    if (n <= 0)
        return n == 0 ? Received::Closed : Received::Malformed;
    const quint32 kind = qFromLittleEndian<quint32>(datagram.constData() + 4);
    const bool own = m_memory == Memory::Own;
    // The viewer's end gets asks for memory and bodies in the memory it
    // gave, never a descriptor of a loader's; a loader's end gets
    // descriptors and the memory it asked for.
    const bool expected = kind == Inline || (own ? (kind == MemoryWanted || kind == BodyInGivenMemory)
                                                 : (kind == BodyInMemfd || kind == MemoryGiven));
    if (!expected || (kind != Inline && n != SizedBytes) || (own && !fds.empty()))
        return Received::Malformed;
    const qint64 size = kind == Inline ? 0 : qFromLittleEndian<qint64>(datagram.constData() + HeaderBytes);
    switch (kind) {
    case MemoryWanted:
        return giveMemory(size);
    case MemoryGiven:
        out.fds = std::move(fds);
        return out.fds.size() == 1 ? Received::Message : Received::Malformed;
    case BodyInMemfd: {
        if (fds.empty())
            return Received::Malformed;
        UniqueFd bodyFd = std::move(fds.back());
        fds.pop_back();
        out.fds = std::move(fds);
        return takeBody(size, std::move(bodyFd), out);
    }
    case Inline:
        out.body = datagram.mid(HeaderBytes, n - HeaderBytes);
        if (!own) {
            out.fds = std::move(fds);
            return Received::Message;
        }
        break;
    }
    return messageInGiven(kind == Inline, size, out);
}

// The memory given is the message's, sealed against writing now or
// refused; a large body comes in the last of it.
LoaderChannel::Received LoaderChannel::messageInGiven(bool inlineBody, qint64 bodySize, Message& out)
{
    std::vector<UniqueFd> given = std::exchange(m_given, {});
    for (const UniqueFd& fd : given) {
        if (!SealedBuffer::sealGiven(fd.get()))
            return Received::Malformed;
    }
    if (inlineBody) {
        out.fds = std::move(given);
        return Received::Message;
    }
    if (given.empty())
        return Received::Malformed;
    UniqueFd bodyFd = std::move(given.back());
    given.pop_back();
    out.fds = std::move(given);
    return takeBody(bodySize, std::move(bodyFd), out);
}

LoaderChannel::Received LoaderChannel::giveMemory(qint64 size)
{
    if (size <= 0 || size > MaxGivenBytes || m_given.size() >= size_t(MaxDescriptors))
        return Received::Malformed;
    UniqueFd fd = SealedBuffer::toGive(size);
    if (!fd.isValid() || !sendDatagram(header(MemoryGiven, size), {fd.get()}))
        return Received::Malformed;
    m_given.push_back(std::move(fd));
    return Received::MemoryGiven;
}

LoaderChannel::Received LoaderChannel::takeBody(qint64 size, UniqueFd bodyFd, Message& out)
{
    if (size <= InlineBodyBytes || size > MaxBodyBytes)
        return Received::Malformed;
    const auto mapping = SealedMapping::map(bodyFd.get(), size, size, SealedMapping::Read::Whole);
    if (!mapping)
        return Received::Malformed;
    out.body = QByteArray(reinterpret_cast<const char*>(mapping->data()), qsizetype(size));
    return Received::Message;
}
