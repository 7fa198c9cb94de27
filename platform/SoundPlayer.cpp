#include "platform/SoundPlayer.h"

#include "core/LittleEndian.h"
#include "platform/SoundOutput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QTemporaryFile>
#include <cmath>

namespace {

bool playableFormat(const QByteArray& fmt)
{
    if (fmt.size() < 16)
        return false;
    const char* p = fmt.constData();
    quint16 tag = readLe16(p);
    const quint16 channels = readLe16(p + 2);
    const quint32 rate = readLe32(p + 4);
    const quint16 bits = readLe16(p + 14);
    // WAVE_FORMAT_EXTENSIBLE names the real format in its sub-format GUID.
    if (tag == 0xFFFE) {
        if (fmt.size() < 26)
            return false;
        tag = readLe16(p + 24);
    }
    if (channels < 1 || channels > 8 || rate < 1000 || rate > 384000)
        return false;
    if (tag == 1)
        return bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (tag == 3)
        return bits == 32;
    return false;
}

} // namespace

bool isPlayableWav(QIODevice& device)
{
    const QByteArray riff = device.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE")
        return false;
    bool formatOk = false;
    for (;;) {
        const QByteArray header = device.read(8);
        if (header.size() < 8)
            return false;
        const QByteArray id = header.left(4);
        const quint32 size = readLe32(header.constData() + 4);
        if (id == "fmt ") {
            if (size > 4096)
                return false;
            const QByteArray fmt = device.read(size);
            if (fmt.size() < int(size) || !playableFormat(fmt))
                return false;
            formatOk = true;
        } else if (id == "data") {
            return formatOk && size > 0;
        } else if (!device.seek(device.pos() + size)) {
            return false;
        }
        // Chunks are padded to an even size.
        if ((size & 1) && id != "data" && !device.seek(device.pos() + 1))
            return false;
    }
}

bool isPlayableWavFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && isPlayableWav(f);
}

QByteArray defaultChimeWav()
{
    // Two bell-like notes, the second a fifth below the first, fading out.
    constexpr int rate = 22050;
    constexpr double seconds = 0.9;
    constexpr int frames = int(rate * seconds);
    struct Note {
        double start, freq;
    };
    constexpr Note notes[] = {{0.0, 1046.5}, {0.18, 698.5}};
    QByteArray samples;
    samples.reserve(frames * 2);
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        double v = 0;
        for (const Note& n : notes) {
            const double u = t - n.start;
            if (u < 0)
                continue;
            const double attack = std::min(u / 0.004, 1.0);
            const double envelope = attack * std::exp(-u * 6.0);
            const double w = 2 * M_PI * n.freq * u;
            v += envelope * (std::sin(w) + 0.35 * std::sin(2 * w) + 0.12 * std::sin(3 * w));
        }
        // Fade the tail so the sound ends without a click.
        const double tail = std::min((seconds - t) / 0.05, 1.0);
        const auto s = qint16(std::lround(std::clamp(v * tail * 0.3, -1.0, 1.0) * 32767));
        appendLe16(samples, quint16(s));
    }

    QByteArray wav;
    wav.append("RIFF");
    appendLe32(wav, quint32(36 + samples.size()));
    wav.append("WAVE");
    wav.append("fmt ");
    appendLe32(wav, 16);
    appendLe16(wav, 1); // PCM
    appendLe16(wav, 1); // mono
    appendLe32(wav, rate);
    appendLe32(wav, rate * 2);
    appendLe16(wav, 2);
    appendLe16(wav, 16);
    wav.append("data");
    appendLe32(wav, quint32(samples.size()));
    wav.append(samples);
    return wav;
}

namespace {

// The module's maker of outputs; null when it is not there. Never unloaded:
// the sound may play on until the program ends.
MakeSoundOutput* soundModuleMaker()
{
    if (!QCoreApplication::instance())
        return nullptr;
    const QDir programs(QCoreApplication::applicationDirPath());
    for (const QString& folder :
         {programs.path(), programs.filePath(QStringLiteral(PV_SOUND_MODULE_FROM_BIN))}) {
        QLibrary module(QDir(folder).filePath(QLatin1String(SoundModuleFileName)));
        if (auto* make = reinterpret_cast<MakeSoundOutput*>(module.resolve(MakeSoundOutputSymbol)))
            return make;
    }
    return nullptr;
}

} // namespace

bool loadSoundModule()
{
    return soundModuleMaker() != nullptr;
}

QtSoundPlayer::QtSoundPlayer() = default;
QtSoundPlayer::~QtSoundPlayer() = default;

QString QtSoundPlayer::ensureChime()
{
    if (m_chime)
        return m_chimePath;
    auto file =
        std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("pictavo-chime-XXXXXX.wav")));
    const QByteArray wav = defaultChimeWav();
    if (!file->open() || file->write(wav) != wav.size() || !file->flush())
        return QString();
    file->close();
    m_chimePath = file->fileName();
    m_chime = std::move(file);
    return m_chimePath;
}

void QtSoundPlayer::play(const QString& wavPath)
{
    stop();
    if (isPlayableWavFile(wavPath))
        start(wavPath, true);
    else if (const QString chime = ensureChime(); !chime.isEmpty())
        start(chime, false);
}

void QtSoundPlayer::start(const QString& file, bool fallBackToChime)
{
    if (!QCoreApplication::instance())
        return;
    m_source = file;
    const int started = ++m_started;
    if (!m_output)
        if (MakeSoundOutput* make = soundModuleMaker())
            m_output.reset(make());
    if (!m_output)
        return;
    std::function<void()> failed;
    if (fallBackToChime) {
        // A file that passed the header check can still fail to decode; the
        // chime then stands in, as for a file that is missing.
        failed = [this, started] {
            if (started != m_started)
                return;
            stop();
            if (const QString chime = ensureChime(); !chime.isEmpty())
                start(chime, false);
        };
    }
    m_output->start(file, failed);
}

void QtSoundPlayer::stop()
{
    ++m_started;
    if (m_output)
        m_output->stop();
    m_source.clear();
}
