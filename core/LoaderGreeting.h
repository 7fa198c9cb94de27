#pragma once
// The first message of a loader, sent once it is confined and ready: its
// protocol version and the confinement it holds.
#include <QByteArray>
#include <QString>

#include <optional>

struct LoaderGreeting {
    quint32 version = 0;
    bool systemCallFilter = false; // seccomp
    int landlockAbi = 0;           // the kernel's; 0 without Landlock
    bool landlock = false;         // its file system rules hold

    QByteArray encoded() const;
    static std::optional<LoaderGreeting> decoded(QByteArrayView bytes);
};
