#include "effects/FullSizeRender.h"

#include "core/Errors.h"

#include <algorithm>
#include <vector>

namespace {
// The caches a tone change reuses, the noise and the source; a request that
// changes neither lets the running one finish.
bool sameHeavyWork(const EffectValues& a, const EffectValues& b)
{
    for (const EffectInfo& info : kEffectTable) {
        const std::size_t i = std::size_t(info.effect);
        if ((info.step == EffectStep::Noise || info.step == EffectStep::Source) && a[i] != b[i])
            return false;
    }
    return true;
}
} // namespace

FullSizeRender::FullSizeRender(QObject* parent) : QObject(parent) {}

FullSizeRender::~FullSizeRender() = default;

void FullSizeRender::setSource(const Picture& picture)
{
    m_wanted.source = picture;
}

void FullSizeRender::request(const Values& values, int noiseDraw, QSize box)
{
    m_wanted.values = values;
    m_wanted.noiseDraw = noiseDraw;
    m_wanted.box = box;
    if (m_sentAny && m_sent.source.sharesDataWith(m_wanted.source) && m_sent.values == values &&
        m_sent.noiseDraw == noiseDraw && m_sent.box == box) {
        // Asked again (the stand-in was shown in between): show it again,
        // or let the rendering on its way arrive.
        if (!m_shown.isNull())
            emit ready(m_shown);
        return;
    }
    const bool reuse = m_sentAny && m_sent.source.sharesDataWith(m_wanted.source) &&
                       m_sent.noiseDraw == noiseDraw && sameHeavyWork(m_sent.values, values);
    m_sent = m_wanted;
    m_sentAny = true;
    m_shown = QImage();
    const Request r = m_wanted;
    // The job still waiting goes; the running one stops unless this one
    // reuses what it builds.
    m_runner.cancelAll(reuse ? JobRunner::Running::Finish : JobRunner::Running::Stop);
    m_runner.submit(
        [this, r](const JobRunner::StopFlag& stop) -> JobRunner::Delivery {
            m_engine.setStopFlag(&stop);
            struct Unset {
                EffectRenderer& e;
                ~Unset() { e.setStopFlag(nullptr); }
            } unset{m_engine};
            try {
                bring(r);
            } catch (const RenderStopped&) {
                return {};
            }
            if (!m_error.isEmpty())
                return [this, text = m_error] { emit failed(text); };
            if (m_engine.rendered().isEmpty())
                return {};
            // Scaled here, off the owner's thread, while the picture is ours.
            return [this, image = scaledTo(m_engine.rendered(), r.box)] {
                m_shown = image;
                emit ready(image);
            };
        },
        [this](const std::exception_ptr& error) { emit failed(failureText(error)); });
}

void FullSizeRender::clear()
{
    m_runner.cancelAll();
    m_wanted = Request();
    m_sentAny = false;
    m_shown = QImage();
    // The buffers go on the worker, so closing the dialog never waits.
    m_runner.submit(
        [this](const JobRunner::StopFlag&) -> JobRunner::Delivery {
            m_engine.clearPictureOriginal();
            m_engine.resetEffects();
            m_engineSource = Picture();
            m_haveSource = false;
            m_complete = false;
            m_error.clear();
            return {};
        },
        [this](const std::exception_ptr& error) { emit failed(failureText(error)); });
}

bool FullSizeRender::done(const Request& r) const
{
    return m_complete && m_haveSource && m_engineSource.sharesDataWith(r.source) &&
           m_engineNoiseDraw == r.noiseDraw && m_doneValues == r.values;
}

void FullSizeRender::bring(const Request& r)
{
    if (done(r))
        return;
    m_complete = false;
    if (!m_haveSource || !m_engineSource.sharesDataWith(r.source)) {
        // Values first and the picture last: one rendering, with the caches
        // and the noise made for this picture.
        m_engine.clearPictureOriginal();
        m_engine.assignValues(r.values, false);
        m_engineSource = r.source;
        m_engineNoiseDraw = r.noiseDraw;
        m_haveSource = true;
        m_error.clear();
        try {
            if (!r.source.isEmpty())
                m_engine.setPictureOriginal(r.source.toBitmap24());
        } catch (const AppError& e) {
            m_error = e.text();
        } catch (const std::bad_alloc& e) {
            m_error = QString::fromLocal8Bit(e.what());
        }
    } else {
        m_engine.assignValues(r.values, r.noiseDraw != m_engineNoiseDraw);
        m_engineNoiseDraw = r.noiseDraw;
    }
    m_doneValues = r.values;
    m_complete = true;
}

const Bitmap24* FullSizeRender::result()
{
    m_runner.waitForIdle();
    bring(m_wanted);
    if (!m_error.isEmpty() || m_engine.rendered().isEmpty())
        return nullptr;
    return &m_engine.rendered();
}

QString FullSizeRender::error() const
{
    return m_error;
}

QImage FullSizeRender::scaledTo(const Bitmap24& full, QSize box)
{
    if (full.isEmpty() || box.isEmpty())
        return QImage();
    // Each box pixel is the rounded mean of the picture pixels it covers,
    // read straight from the rows: one pass, no converted copy of a big
    // picture (Qt's smooth scaling converts 24-bit pictures first).
    const int fw = full.width(), fh = full.height(), bw = box.width(), bh = box.height();
    std::vector<int> xs(std::size_t(bw) + 1);
    for (int i = 0; i <= bw; ++i)
        xs[std::size_t(i)] = int(qint64(i) * fw / bw);
    QImage out(box, QImage::Format_RGB32);
    std::vector<std::uint32_t> sum(std::size_t(bw) * 3);
    for (int by = 0; by < bh; ++by) {
        const int y0 = int(qint64(by) * fh / bh);
        const int y1 = std::max(y0 + 1, int(qint64(by + 1) * fh / bh));
        std::fill(sum.begin(), sum.end(), 0);
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* row = full.scanLine(y);
            for (int bx = 0; bx < bw; ++bx) {
                const int x0 = xs[std::size_t(bx)], x1 = std::max(x0 + 1, xs[std::size_t(bx) + 1]);
                std::uint32_t b = 0, g = 0, r = 0;
                for (const std::uint8_t* p = row + 3 * x0; p < row + 3 * x1; p += 3) {
                    b += p[0];
                    g += p[1];
                    r += p[2];
                }
                sum[3 * std::size_t(bx)] += b;
                sum[3 * std::size_t(bx) + 1] += g;
                sum[3 * std::size_t(bx) + 2] += r;
            }
        }
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(by));
        for (int bx = 0; bx < bw; ++bx) {
            const int x0 = xs[std::size_t(bx)], x1 = std::max(x0 + 1, xs[std::size_t(bx) + 1]);
            const std::uint32_t n = std::uint32_t(x1 - x0) * std::uint32_t(y1 - y0);
            const std::uint32_t* c = &sum[3 * std::size_t(bx)];
            line[bx] = qRgb(int((c[2] + n / 2) / n), int((c[1] + n / 2) / n), int((c[0] + n / 2) / n));
        }
    }
    return out;
}
