#include "browser/Accessibility.h"

#include "browser/MainLayout.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFocusFrame>
#include <QMenu>
#include <QPointer>
#include <QTabBar>
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

// A tab of the view's tab strip. Qt's own tab reports the focus whenever it is the current tab,
// even while another control has it; this one only while the strip itself has it.
class TabAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    TabAccessible(QTabBar *bar, int index)
        : m_bar(bar)
        , m_index(index)
    { }

    bool isValid() const override { return m_bar && m_index < m_bar->count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_bar ? m_bar->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_bar.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        if (t == QAccessible::Name)
            return QString(m_bar->tabText(m_index)).remove(u'&');
        if (t == QAccessible::Description)
            return m_bar->tabToolTip(m_index);
        return {};
    }
    void setText(QAccessible::Text, const QString &) override { }
    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect r = m_bar->tabRect(m_index);
        return QRect(m_bar->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const bool current = m_bar->currentIndex() == m_index;
        s.focusable = true;
        s.selectable = true;
        s.selected = current;
        s.focused = current && m_bar->hasFocus();
        s.disabled = !m_bar->isTabEnabled(m_index);
        s.invisible = !m_bar->isVisible() || !m_bar->isTabVisible(m_index);
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (isValid() && name == pressAction())
            m_bar->setCurrentIndex(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<QTabBar> m_bar;
    int m_index;
};

// The tab strip: named by its own accessible name ("الكود والشرح"), not after the current tab.
class TabBarAccessible : public QAccessibleWidget
{
public:
    explicit TabBarAccessible(QTabBar *bar)
        : QAccessibleWidget(bar, QAccessible::PageTabList)
    { }
    ~TabBarAccessible() override
    {
        for (QAccessibleInterface *tab : std::as_const(m_tabs))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(tab));
    }

    int childCount() const override { return bar()->count(); }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= bar()->count())
            return nullptr;
        while (m_tabs.size() <= index) {
            auto *tab = new TabAccessible(bar(), int(m_tabs.size()));
            QAccessible::registerAccessibleInterface(tab);
            m_tabs.append(tab);
        }
        return m_tabs.at(index);
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return int(m_tabs.indexOf(const_cast<QAccessibleInterface *>(child)));
    }
    QAccessibleInterface *focusChild() const override
    {
        return bar()->hasFocus() ? child(bar()->currentIndex()) : nullptr;
    }

private:
    QTabBar *bar() const { return static_cast<QTabBar *>(widget()); }
    mutable QList<QAccessibleInterface *> m_tabs;
};

QAccessibleInterface *factory(const QString &key, QObject *object)
{
    if (key == QLatin1String("QTabBar")) {
        if (auto *bar = qobject_cast<QTabBar *>(object); bar && bar->objectName() == QLatin1String("TS1"))
            return new TabBarAccessible(bar);
    }
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
