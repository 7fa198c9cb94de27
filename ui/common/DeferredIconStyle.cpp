#include "ui/common/DeferredIconStyle.h"

#include <QIconEngine>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

namespace {

class DeferredIconEngine : public QIconEngine {
public:
    explicit DeferredIconEngine(std::function<QIcon()> make) : m_make(std::move(make)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        // `size` is in device pixels here.
        return icon().pixmap(size / scale, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QString key() const override { return QStringLiteral("deferred"); }
    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon& icon()
    {
        if (!m_icon)
            m_icon = m_make();
        return *m_icon;
    }

    std::function<QIcon()> m_make;
    std::optional<QIcon> m_icon;
};

} // namespace

QIcon DeferredIconStyle::standardIcon(StandardPixmap icon, const QStyleOption* option,
                                      const QWidget* widget) const
{
    if (option) // lives only for this call
        return QProxyStyle::standardIcon(icon, option, widget);
    // Either may be gone by the time the icon is first drawn.
    QPointer<QWidget> target(const_cast<QWidget*>(widget));
    QPointer<QStyle> self(const_cast<DeferredIconStyle*>(this));
    const bool forWidget = widget != nullptr;
    return QIcon(new DeferredIconEngine([self, icon, target, forWidget] {
        if (!self || (forWidget && !target))
            return QIcon();
        return static_cast<DeferredIconStyle*>(self.data())
            ->QProxyStyle::standardIcon(icon, nullptr, target.data());
    }));
}
