#include "browser/Accessibility.h"

#include "browser/MainLayout.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFocusFrame>
#include <QMenu>
#include <QToolBar>

#include <cmath>

namespace browser {

namespace {

// Helpers that exist only for the program's own use: the colouring's work area and the tool
// bar's overflow button while it is hidden. Listing them would make a screen reader speak of
// controls the user can never reach.
bool isHiddenHelper(const QWidget *w)
{
    return w->isHidden()
           && (w->objectName() == QLatin1String("rtfhid") || w->objectName() == QLatin1String("qt_toolbar_ext_button"));
}

class HelperHidingContainer : public QAccessibleWidget
{
public:
    HelperHidingContainer(QWidget *w, QAccessible::Role role)
        : QAccessibleWidget(w, role)
    { }

    int childCount() const override { return int(exposed().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> children = exposed();
        return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children.at(index))
                                                     : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child || !child->object() || !child->object()->isWidgetType())
            return -1;
        return int(exposed().indexOf(static_cast<QWidget *>(child->object())));
    }

private:
    // As the default interface lists children, less the hidden helpers.
    QList<QWidget *> exposed() const
    {
        QList<QWidget *> result;
        for (QObject *o : widget()->children()) {
            auto *w = qobject_cast<QWidget *>(o);
            if (!w || w->isWindow() || qobject_cast<QFocusFrame *>(w) || qobject_cast<QMenu *>(w)
                || w->objectName() == QLatin1String("qt_rubberband") || isHiddenHelper(w))
                continue;
            result.append(w);
        }
        return result;
    }
};

// The splitter bar: a separator whose value is the view pane's share of the width, in percent.
class SplitterAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit SplitterAccessible(SplitterBar *bar)
        : QAccessibleWidget(bar, QAccessible::Separator)
    { }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QVariant currentValue() const override
    {
        const QWidget *area = widget()->parentWidget();
        return area && area->width() > 0 ? int(std::lround(100.0 * widget()->x() / area->width())) : 0;
    }
    void setCurrentValue(const QVariant &value) override
    {
        auto *bar = static_cast<SplitterBar *>(widget());
        const QWidget *area = bar->parentWidget();
        if (area && bar->moveRequested)
            bar->moveRequested(int(std::lround(value.toDouble() * area->width() / 100.0)));
    }
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 2; }
};

QAccessibleInterface *factory(const QString &key, QObject *object)
{
    if (key == QLatin1String("QToolBar")) {
        if (auto *bar = qobject_cast<QToolBar *>(object); bar && bar->objectName() == QLatin1String("Tlbar"))
            return new HelperHidingContainer(bar, QAccessible::ToolBar);
    } else if (key == QLatin1String("QWidget") && object->isWidgetType()) {
        auto *w = static_cast<QWidget *>(object);
        if (auto *bar = dynamic_cast<SplitterBar *>(w))
            return new SplitterAccessible(bar);
        if (w->objectName() == QLatin1String("central"))
            return new HelperHidingContainer(w, QAccessible::Client);
    }
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace browser
