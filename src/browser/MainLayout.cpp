#include "browser/MainLayout.h"

#include "about/Effects.h"
#include "platform/RichTextBox.h"
#include "platform/Twips.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QStatusBar>
#include <QTabBar>
#include <QTreeView>

#include <cmath>

namespace browser {

using platform::toPixelsY;
using platform::toTwipsX;

MainLayout::MainLayout(QMainWindow *window, const Controls &controls)
    : QObject(window)
    , m_window(window)
    , m_c(controls)
{
    m_c.splitter->installEventFilter(this);
    if (auto *bar = dynamic_cast<SplitterBar *>(m_c.splitter))
        bar->moveRequested = [this](int x) {
            if (moveBar(x))
                layout();
        };
    window->setMinimumSize(platform::twipsSize(MinWindowWidthTwips, MinWindowHeightTwips));
}

SplitterBar::SplitterBar(QWidget *parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void SplitterBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal; // a vertical bar between two panes side by side
    style()->drawControl(QStyle::CE_Splitter, &option, &p, this);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

void MainLayout::restoreSplitterPos(int twips, int referenceWidth)
{
    m_splitterPos = twips;
    m_laidOutWidth = referenceWidth;
    m_proportion = referenceWidth > 0 ? twips / toTwipsX(referenceWidth) : 0;
    m_c.splitter->setPalette(m_window->palette());
}

void MainLayout::layout()
{
    // Before the window shows, the central area has no real size yet: the bar is not scaled to it.
    const int widthNow = m_c.central->width();
    if (m_window->isVisible() && widthNow != m_laidOutWidth && m_laidOutWidth > 0 && m_proportion > 0) {
        m_splitterPos = int(std::lround(m_proportion * toTwipsX(widthNow)));
        m_laidOutWidth = widthNow;
    }
    const double W = toTwipsX(widthNow);
    const double H = platform::toTwipsY(m_c.central->height());
    const double S = m_splitterPos;
    const double bar = BarWidthTwips;
    // H is the central area's height: toolbar and status bar are already left out.
    const double tsW = S - 200, tsH = H - 200;
    const double frW = S - 25, frH = H - 50;
    const double tvW = W - (S + bar + 25), tvH = H - 125;
    if (tsW <= 0 || tsH <= 0 || frW <= 0 || frH <= 0 || tvW <= 0 || tvH <= 0)
        return; // too small: the controls keep their places
    m_c.frame->setGeometry(platform::twipsRect(25, 25, frW, frH));
    m_c.tabs->setGeometry(platform::twipsRect(75 - 25, 100 - 25, tsW, 480));
    m_c.tree->setGeometry(platform::twipsRect(S + bar, 125, tvW, tvH));
    m_c.splitter->setGeometry(platform::twipsRect(S, 125, bar, tvH));
    const double vW = tsW - 200, vH = tsH - 580;
    if (vW > 0 && vH > 0)
        m_c.view->setGeometry(platform::twipsRect(75 - 25 + 100, 100 - 25 + 480, vW, vH));
    m_c.work->move(0, m_window->height() + toPixelsY(100));
    about::RepaintControl(m_window->statusBar());
}

bool MainLayout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_c.splitter && splitterEvent(event))
        return true;
    return QObject::eventFilter(watched, event);
}

bool MainLayout::splitterEvent(QEvent *event)
{
    QWidget *bar = m_c.splitter;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        QPalette grey = bar->palette();
        grey.setColor(QPalette::Window, QColor(128, 128, 128));
        bar->setPalette(grey);
        return true;
    }
    case QEvent::MouseMove: {
        auto *me = static_cast<QMouseEvent *>(event);
        if (!(me->buttons() & Qt::LeftButton))
            return false;
        const int x = int(me->position().x());
        if (x != 0)
            moveBar(bar->x() + x);
        bar->raise();
        return true;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Left && key != Qt::Key_Right)
            return false;
        // The central area is not mirrored: Left always moves the bar towards the view pane.
        const int step = std::max(1, m_c.central->width() / 50);
        if (moveBar(bar->x() + (key == Qt::Key_Left ? -step : step)))
            layout();
        return true;
    }
    case QEvent::MouseButtonRelease:
        bar->setPalette(m_window->palette());
        layout();
        return true;
    default:
        return false;
    }
}

bool MainLayout::moveBar(int x)
{
    const double W = toTwipsX(m_c.central->width());
    const double candidate = toTwipsX(x);
    if (!(candidate > 100 && candidate < W - 100))
        return false;
    QWidget *bar = m_c.splitter;
    bar->move(x, bar->y());
    m_splitterPos = int(std::lround(toTwipsX(bar->x())));
    m_laidOutWidth = m_c.central->width();
    m_proportion = W > 0 ? m_splitterPos / W : 0;
#if QT_CONFIG(accessibility)
    QAccessibleValueChangeEvent changed(bar, int(std::lround(100 * m_proportion)));
    QAccessible::updateAccessibility(&changed);
#endif
    return true;
}

} // namespace browser
