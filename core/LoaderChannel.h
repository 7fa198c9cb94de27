#pragma once
// One end of the socket between the viewer and a loader. It carries whole
// messages: some bytes and a few descriptors (SCM_RIGHTS). A body larger
// than one datagram travels in a sealed memfd in its place, so messages of
// any size keep their bounds.
//
// A loader can't size a file, memfds included (its RLIMIT_FSIZE is 0), so
// its end asks the viewer's for memory: the viewer gives a memfd of the
// size asked, sealed against resizing, and seals it against writing when
// the message that uses it arrives. Those memfds are that message's
// descriptors.
#include "core/UniqueFd.h"

#include <QByteArray>

#include <utility>
#include <vector>

class LoaderChannel {
public:
    // Per message, a large body's own memfd included.
    static constexpr int MaxDescriptors = 4;
    static constexpr qint64 MaxBodyBytes = qint64(1) << 30;
    // The most memory one request may ask of the viewer.
    static constexpr qint64 MaxGivenBytes = qint64(4) << 30;
    // Bodies up to this go inside the datagram.
    static constexpr qint64 InlineBodyBytes = 48 * 1024;

    // Where the memory for large bodies and pixels comes from.
    enum class Memory {
        Own,   // the viewer's end: made here
        Asked, // a loader's end: asked of the viewer
    };
    struct Message {
        QByteArray body;
        std::vector<UniqueFd> fds;
    };
    enum class Received {
        Message,
        MemoryGiven, // the other end asked for memory and has it: keep waiting
        Closed,
        Malformed, // cut short, foreign, too many descriptors, a memfd not sealed or not of its size
    };

    // A connected pair of sockets, both closed on exec. Both invalid when
    // the system refuses.
    static std::pair<UniqueFd, UniqueFd> socketPair();

    LoaderChannel(UniqueFd socket, Memory memory) : m_socket(std::move(socket)), m_memory(memory) {}
    int socket() const noexcept { return m_socket.get(); }

    // A memfd of `size` bytes to fill and send: made here, or asked of the
    // other end (waiting for it). Invalid when none can be had.
    UniqueFd memory(qint64 size);
    // False when the other end is gone or the body can't be sent. With
    // asked memory the descriptors are those given, which go back by
    // themselves: `fds` must be empty.
    bool send(QByteArrayView body, const std::vector<int>& fds = {});
    // Waits for the next datagram.
    Received receive(Message& out);

private:
    bool sendDatagram(const QByteArray& datagram, const std::vector<int>& fds);
    qsizetype receiveDatagram(QByteArray& datagram, std::vector<UniqueFd>& fds);
    Received messageInGiven(bool inlineBody, qint64 bodySize, Message& out);
    Received giveMemory(qint64 size);
    Received takeBody(qint64 size, UniqueFd bodyFd, Message& out);

    UniqueFd m_socket;
    Memory m_memory;
    std::vector<UniqueFd> m_given; // memory given since the last message
};
