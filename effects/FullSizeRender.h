#pragma once
// The effects dialog's full-resolution side: a second engine holding the
// whole picture, rendered by one worker with the dialog's settings, so that the
// preview shows the very pixels OK writes. Widget-free.
#include "core/JobRunner.h"
#include "effects/EffectRenderer.h"
#include "graphics/Picture.h"

#include <QImage>
#include <QObject>
#include <QSize>

class FullSizeRender : public QObject {
    Q_OBJECT
public:
    using Values = EffectValues;

    explicit FullSizeRender(QObject* parent = nullptr);
    ~FullSizeRender() override;

    // The picture to render; decoded on the worker by the next request.
    void setSource(const Picture& picture);
    const Picture& source() const noexcept { return m_wanted.source; }
    // Renders `values` on the worker, superseding older requests, and emits
    // ready() with the result scaled to `box`. A new `noiseDraw` number draws
    // the noise again, as each move of the noise slider does.
    void request(const Values& values, int noiseDraw, QSize box);
    // Stops the work and lets go of the picture and its renderings.
    void clear();

    // The full-size rendering of the last request, waiting for the worker
    // or rendering here when it has none; null when the picture could not
    // be decoded (error() says why) or there is none.
    const Bitmap24* result();
    QString error() const;

    // How a finished rendering is fitted to the preview box.
    static QImage scaledTo(const Bitmap24& full, QSize box);

signals:
    void ready(const QImage& scaled);
    void failed(const QString& text);

private:
    struct Request {
        Picture source;
        Values values{};
        int noiseDraw = 0;
        QSize box;
    };
    // Brings the engine to `r`; runs on the worker, or here while it is idle.
    void bring(const Request& r);
    bool done(const Request& r) const;

    Request m_wanted; // owner's thread
    Request m_sent;   // owner's thread: the last request submitted
    bool m_sentAny = false;
    QImage m_shown; // owner's thread: what ready() gave for m_sent

    // Touched only by jobs, or by the owner while the worker is idle.
    EffectRenderer m_engine;
    Picture m_engineSource;
    int m_engineNoiseDraw = 0;
    bool m_haveSource = false;
    bool m_complete = false; // m_engine holds the rendering of m_doneValues
    Values m_doneValues{};
    QString m_error;

    JobRunner m_runner; // last: its jobs end before the engine goes
};
