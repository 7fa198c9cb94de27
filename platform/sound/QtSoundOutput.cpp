// The sound module: QSoundEffect behind SoundOutput.
#include "platform/SoundOutput.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

namespace {

class QtSoundOutput : public SoundOutput {
public:
    ~QtSoundOutput() override
    {
        // The effect belongs to the application object, which may be gone.
        if (m_effect)
            delete m_effect.data();
    }

    void start(const QString& file, std::function<void()> failed) override
    {
        stop();
        auto* effect = new QSoundEffect(QCoreApplication::instance());
        m_effect = effect;
        effect->setLoopCount(1);
        if (failed) {
            QObject::connect(effect, &QSoundEffect::statusChanged, effect, [this, effect, failed] {
                if (effect->status() == QSoundEffect::Error && m_effect == effect)
                    QMetaObject::invokeMethod(QCoreApplication::instance(), failed, Qt::QueuedConnection);
            });
        }
        effect->setSource(QUrl::fromLocalFile(file));
        effect->play();
    }

    void stop() override
    {
        if (m_effect) {
            m_effect->stop();
            m_effect->deleteLater();
        }
        m_effect = nullptr;
    }

private:
    QPointer<QSoundEffect> m_effect;
};

} // namespace

extern "C" Q_DECL_EXPORT SoundOutput* pictavoMakeSoundOutput()
{
    return new QtSoundOutput;
}
