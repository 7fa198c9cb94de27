#include "ui/common/AccessibleNames.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QWidget>

#include <algorithm>

namespace {

const char* const PictureProperty = "pvReadAsPicture";
const char* const NamedByHintProperty = "pvNamedByHint";

// A control whose own text already names it, or that names itself.
bool namesItself(const QWidget* w)
{
    if (w->property(PictureProperty).toBool())
        return true;
    if (auto* b = qobject_cast<const QAbstractButton*>(w))
        return !b->text().isEmpty();
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QGroupBox*>(w) || w->isWindow();
}

void nameByHint(QWidget* w)
{
    if (namesItself(w) || w->toolTip().isEmpty())
        return;
    // A name set on purpose stays; one taken from the hint follows it.
    if (!w->accessibleName().isEmpty() && !w->property(NamedByHintProperty).toBool())
        return;
    w->setAccessibleName(w->toolTip());
    w->setProperty(NamedByHintProperty, true);
}

class HintWatcher : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTipChange && watched->isWidgetType())
            nameByHint(static_cast<QWidget*>(watched));
        return false;
    }
};

QAccessibleInterface* pictureInterface(const QString&, QObject* object)
{
    if (object && object->isWidgetType() && object->property(PictureProperty).toBool())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}

} // namespace

namespace accessibleNames {

void nameControlsByHints()
{
    if (!qApp)
        return;
    // The application holds the one watcher.
    const QObjectList held = qApp->children();
    if (std::any_of(held.cbegin(), held.cend(), [](QObject* o) { return dynamic_cast<HintWatcher*>(o); }))
        return;
    qApp->installEventFilter(new HintWatcher(qApp));
    QAccessible::installFactory(pictureInterface);
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* w : widgets)
        nameByHint(w);
}

void markAsPicture(QWidget* widget)
{
    widget->setProperty(PictureProperty, true);
}

} // namespace accessibleNames
