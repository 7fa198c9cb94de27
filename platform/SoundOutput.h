#pragma once
// What makes the sound: Qt Multimedia, in a module of its own
// (libpictavo-sound.so) that is loaded when a sound is first played, so the
// program starts without the sound stack and the many libraries it pulls in.
#include <QString>
#include <functional>

class SoundOutput {
public:
    virtual ~SoundOutput() = default;
    // Plays the file once, replacing any sound still playing. `failed`, if
    // given, is called from the event loop when the file can't be decoded.
    virtual void start(const QString& file, std::function<void()> failed) = 0;
    virtual void stop() = 0;
};

// The module's one entry point: a new output, owned by the caller.
using MakeSoundOutput = SoundOutput*();
inline constexpr char MakeSoundOutputSymbol[] = "pictavoMakeSoundOutput";
inline constexpr char SoundModuleFileName[] = "libpictavo-sound.so";
