#include "ui/common/UiTextWidgets.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QTreeWidget>

namespace {

bool setCaption(QObject* o, const QString& t)
{
    if (auto* a = qobject_cast<QAction*>(o)) {
        a->setText(t);
    } else if (auto* m = qobject_cast<QMenu*>(o)) {
        m->setTitle(t);
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        b->setText(t);
    } else if (auto* l = qobject_cast<QLabel*>(o)) {
        // A caption sized to its English text grows with the translation;
        // one given its own size keeps it.
        const bool sizedToText = l->size() == l->sizeHint();
        l->setText(t);
        if (sizedToText)
            l->adjustSize();
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        g->setTitle(t);
    } else {
        return o->setProperty("text", t) || o->setProperty("title", t);
    }
    return true;
}

std::optional<QString> caption(const QObject* o)
{
    if (auto* a = qobject_cast<const QAction*>(o))
        return a->text();
    if (auto* m = qobject_cast<const QMenu*>(o))
        return m->title();
    if (auto* b = qobject_cast<const QAbstractButton*>(o))
        return b->text();
    if (auto* l = qobject_cast<const QLabel*>(o))
        return l->text();
    if (auto* g = qobject_cast<const QGroupBox*>(o))
        return g->title();
    for (const char* p : {"text", "title"}) {
        const QVariant v = o->property(p);
        if (v.isValid())
            return v.toString();
    }
    return std::nullopt;
}

bool setHint(QObject* o, const QString& t)
{
    if (auto* a = qobject_cast<QAction*>(o)) {
        a->setToolTip(t);
        a->setStatusTip(t);
        return true;
    }
    auto* w = qobject_cast<QWidget*>(o);
    if (!w)
        return false;
    w->setToolTip(t);
    w->setStatusTip(t);
    // Whatever an element shows for its action must change with it.
    if (auto* m = qobject_cast<QMenu*>(w))
        setHint(m->menuAction(), t);
    if (auto* b = qobject_cast<QToolButton*>(w); b && b->defaultAction())
        setHint(b->defaultAction(), t);
    return true;
}

std::optional<QString> hint(const QObject* o)
{
    if (auto* a = qobject_cast<const QAction*>(o))
        return a->toolTip();
    if (auto* w = qobject_cast<const QWidget*>(o))
        return w->toolTip();
    return std::nullopt;
}

bool setTab(QObject* o, int i, const QString& t)
{
    if (auto* tw = qobject_cast<QTabWidget*>(o); tw && i < tw->count()) {
        tw->setTabText(i, t);
        return true;
    }
    if (auto* tb = qobject_cast<QTabBar*>(o); tb && i < tb->count()) {
        tb->setTabText(i, t);
        return true;
    }
    return false;
}

std::optional<QString> tab(const QObject* o, int i)
{
    if (auto* tw = qobject_cast<const QTabWidget*>(o); tw && i < tw->count())
        return tw->tabText(i);
    if (auto* tb = qobject_cast<const QTabBar*>(o); tb && i < tb->count())
        return tb->tabText(i);
    return std::nullopt;
}

int itemCount(const QObject* o)
{
    if (auto* c = qobject_cast<const QComboBox*>(o))
        return c->count();
    if (auto* v = qobject_cast<const QAbstractItemView*>(o); v && v->model())
        return v->model()->rowCount();
    return 0;
}

bool setItem(QObject* o, int i, const QString& t)
{
    if (i < 0)
        i += itemCount(o);
    if (i < 0 || i >= itemCount(o))
        return false;
    if (auto* c = qobject_cast<QComboBox*>(o)) {
        c->setItemText(i, t);
        return true;
    }
    auto* v = qobject_cast<QAbstractItemView*>(o);
    return v->model()->setData(v->model()->index(i, 0), t, Qt::DisplayRole);
}

// Names listed with commas, one item each from `first` on; a list with too
// few names leaves the items it doesn't reach.
bool setItems(QObject* o, int first, const QString& t)
{
    const QStringList names = t.split(QLatin1Char(','));
    bool reached = true;
    for (qsizetype k = 0; k < names.size(); ++k)
        reached &= setItem(o, first + int(k), names[k].trimmed());
    return reached;
}

std::optional<QString> item(const QObject* o, int i)
{
    if (i < 0)
        i += itemCount(o);
    if (i < 0 || i >= itemCount(o))
        return std::nullopt;
    if (auto* c = qobject_cast<const QComboBox*>(o))
        return c->itemText(i);
    auto* v = qobject_cast<const QAbstractItemView*>(o);
    return v->model()->index(i, 0).data(Qt::DisplayRole).toString();
}

bool setColumn(QObject* o, int i, const QString& t)
{
    if (auto* tw = qobject_cast<QTableWidget*>(o); tw && i < tw->columnCount()) {
        if (QTableWidgetItem* h = tw->horizontalHeaderItem(i))
            h->setText(t);
        else
            tw->setHorizontalHeaderItem(i, new QTableWidgetItem(t));
        return true;
    }
    if (auto* tr = qobject_cast<QTreeWidget*>(o); tr && i < tr->columnCount()) {
        tr->headerItem()->setText(i, t);
        return true;
    }
    if (auto* v = qobject_cast<QAbstractItemView*>(o); v && v->model() && i < v->model()->columnCount())
        return v->model()->setHeaderData(i, Qt::Horizontal, t);
    return false;
}

std::optional<QString> column(const QObject* o, int i)
{
    if (auto* v = qobject_cast<const QAbstractItemView*>(o); v && v->model() && i < v->model()->columnCount())
        return v->model()->headerData(i, Qt::Horizontal).toString();
    return std::nullopt;
}

} // namespace

QList<QObject*> findElements(QWidget* window, const QString& objectName)
{
    if (!window)
        return {};
    return window->findChildren<QObject*>(objectName);
}

WidgetTextSink::WidgetTextSink(QList<QWidget*> windows, ProgramTextSetter programTexts)
    : m_windows(std::move(windows)), m_programTexts(std::move(programTexts))
{
}

QWidget* WidgetTextSink::window(const UiTarget& target) const
{
    const QString name = target.windowObjectName();
    const QList<QWidget*> windows = m_windows.isEmpty() ? QApplication::topLevelWidgets() : m_windows;
    for (QWidget* w : windows) {
        if (w && w->objectName() == name)
            return w;
    }
    for (QWidget* w : windows) {
        if (w && QLatin1String(w->metaObject()->className()) == QLatin1String(target.window))
            return w;
    }
    return nullptr;
}

QList<QObject*> WidgetTextSink::elements(const UiTarget& target) const
{
    return findElements(window(target), QString::fromLatin1(target.element));
}

bool WidgetTextSink::setText(const UiTarget& target, const QString& text)
{
    if (target.part == UiPart::Program) {
        setProgramText(ProgramText(target.index), text);
        return true;
    }
    if (target.part == UiPart::WindowTitle) {
        QWidget* w = window(target);
        if (w)
            w->setWindowTitle(text);
        return w != nullptr;
    }
    bool reached = false;
    for (QObject* o : elements(target)) {
        switch (target.part) {
        case UiPart::Caption:
            reached |= setCaption(o, text);
            break;
        case UiPart::Hint:
            reached |= setHint(o, text);
            break;
        case UiPart::Item:
            reached |= setItem(o, target.index, text);
            break;
        case UiPart::Items:
            reached |= setItems(o, target.index, text);
            break;
        case UiPart::Tab:
            reached |= setTab(o, target.index, text);
            break;
        case UiPart::Column:
            reached |= setColumn(o, target.index, text);
            break;
        case UiPart::Spoken:
            if (auto* w = qobject_cast<QWidget*>(o)) {
                w->setAccessibleName(text);
                reached = true;
            }
            break;
        case UiPart::Placeholder:
            if (auto* e = qobject_cast<QLineEdit*>(o)) {
                e->setPlaceholderText(text);
                reached = true;
            }
            break;
        case UiPart::WindowTitle:
        case UiPart::Program:
            break;
        }
    }
    return reached;
}

std::optional<QString> WidgetTextSink::text(const UiTarget& target) const
{
    if (target.part == UiPart::WindowTitle) {
        if (QWidget* w = window(target))
            return w->windowTitle();
        return std::nullopt;
    }
    for (QObject* o : elements(target)) {
        std::optional<QString> t;
        switch (target.part) {
        case UiPart::Caption:
            t = caption(o);
            break;
        case UiPart::Hint:
            t = hint(o);
            break;
        case UiPart::Item:
            t = item(o, target.index);
            break;
        case UiPart::Tab:
            t = tab(o, target.index);
            break;
        case UiPart::Column:
            t = column(o, target.index);
            break;
        case UiPart::Spoken:
            if (auto* w = qobject_cast<const QWidget*>(o))
                t = w->accessibleName();
            break;
        case UiPart::Placeholder:
            if (auto* e = qobject_cast<const QLineEdit*>(o))
                t = e->placeholderText();
            break;
        case UiPart::Items: // a list's names are never copied
        case UiPart::WindowTitle:
        case UiPart::Program:
            break;
        }
        if (t)
            return t;
    }
    return std::nullopt;
}

void WidgetTextSink::setProgramText(ProgramText id, const QString& text)
{
    if (m_programTexts)
        m_programTexts(id, text);
}
