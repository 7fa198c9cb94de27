#include "ui/main/LoadingIndicator.h"

#include "viewer/LoadingSign.h"

#include <QEvent>
#include <QPainter>
#include <QProgressBar>

LoadingIndicator::LoadingIndicator(const LoadingSign& sign, QWidget* viewport)
    : QWidget(viewport), m_sign(sign), m_bar(new QProgressBar(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // No range: a bar that shows work, not how much is done.
    m_bar->setRange(0, 0);
    m_bar->setTextVisible(false);
    m_bar->setFixedSize(120, 12);
    m_bar->setObjectName(QStringLiteral("loadingIndicator"));
    m_bar->setAccessibleName(QStringLiteral("Loading \u2026"));
    viewport->installEventFilter(this);
    connect(&sign, &LoadingSign::changed, this, &LoadingIndicator::follow);
    hide();
}

bool LoadingIndicator::eventFilter(QObject*, QEvent* event)
{
    if (event->type() == QEvent::Resize)
        follow();
    return false;
}

void LoadingIndicator::follow()
{
    setGeometry(parentWidget()->rect());
    m_bar->move((width() - m_bar->width()) / 2, (height() - m_bar->height()) / 2);
    setVisible(m_sign.isShown());
    raise();
    update();
}

void LoadingIndicator::paintEvent(QPaintEvent*)
{
    const QImage& preview = m_sign.preview();
    if (preview.isNull())
        return;
    // Fitted and centred: where the picture itself will most likely be.
    QRect r(QPoint(0, 0), preview.size().scaled(size(), Qt::KeepAspectRatio));
    r.moveCenter(rect().center());
    QPainter p(this);
    p.fillRect(rect(), parentWidget()->palette().window());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(r, preview);
}
