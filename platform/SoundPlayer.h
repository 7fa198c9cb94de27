#pragma once
// The slide show's background sound: a WAV file played once in the
// background; play() returns at once and stop() ends it.
#include <QByteArray>
#include <QString>
#include <memory>

class QIODevice;
class QTemporaryFile;
class SoundOutput;

class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays the file once, not looped, replacing any sound still playing. A
    // file that is missing or can't be played plays the default chime.
    virtual void play(const QString& wavPath) = 0;
    // Ends the sound; with nothing playing it does nothing.
    virtual void stop() = 0;
};

// Whether the stream holds a WAV file the player decodes: RIFF/WAVE with
// uncompressed PCM (8, 16, 24 or 32 bits) or 32-bit float samples, and sound
// data after the format. Only the chunk headers and the format are read.
bool isPlayableWav(QIODevice& device);
bool isPlayableWavFile(const QString& path);

// The default chime, our own sound: a short two-note WAV made on the spot.
QByteArray defaultChimeWav();

// Loads the sound module (Qt Multimedia) if it isn't yet: beside the
// program, else where it is installed. Answers whether it is there to play.
bool loadSoundModule();

// The real player, on Qt Multimedia, loaded with the first sound. Without
// an audio device, or without the sound module, the sound counts as playing
// and never ends, so nothing here waits for it.
class QtSoundPlayer : public SoundPlayer {
public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    void play(const QString& wavPath) override;
    void stop() override;

    // The file the player was last given to play (the chime's temporary
    // file when it stood in); empty once stopped.
    QString currentSource() const { return m_source; }
    // Where the chime was written; empty until it was first needed.
    QString chimePath() const { return m_chimePath; }

private:
    void start(const QString& file, bool fallBackToChime);
    QString ensureChime();

    std::unique_ptr<SoundOutput> m_output;
    // Counts the sounds started, so a failure told late finds it is stale.
    int m_started = 0;
    QString m_source;
    QString m_chimePath;
    std::unique_ptr<QTemporaryFile> m_chime;
};
