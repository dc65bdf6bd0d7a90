#include "browser/MainLayout.h"

#include "about/Effects.h"
#include "platform/RichTextBox.h"
#include "platform/Twips.h"

#include <QMainWindow>
#include <QMouseEvent>
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
}

void MainLayout::restoreSplitterPos(int twips)
{
    m_splitterPos = twips;
    m_c.splitter->setPalette(m_window->palette());
}

void MainLayout::layout()
{
    const double W = toTwipsX(m_c.central->width());
    const double H = platform::toTwipsY(m_c.central->height());
    const double S = m_splitterPos;
    // H is the central area's height: toolbar and status bar are already left out.
    const double tsW = S - 200, tsH = H - 200;
    const double frW = S - 25, frH = H - 50;
    const double tvW = W - (S + 50), tvH = H - 125;
    if (tsW <= 0 || tsH <= 0 || frW <= 0 || frH <= 0 || tvW <= 0 || tvH <= 0)
        return; // too small: the controls keep their places
    m_c.frame->setGeometry(platform::twipsRect(25, 25, frW, frH));
    m_c.tabs->setGeometry(platform::twipsRect(75 - 25, 100 - 25, tsW, 480));
    m_c.tree->setGeometry(platform::twipsRect(S + 25, 125, tvW, tvH));
    m_c.splitter->setGeometry(platform::twipsRect(S, 125, 25, tvH));
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
        const double W = toTwipsX(m_c.central->width());
        const int candidate = bar->x() + x;
        const double candidateTwips = toTwipsX(candidate);
        if (x != 0 && candidateTwips > 100 && candidateTwips < W - 100) {
            bar->move(candidate, bar->y());
            m_splitterPos = int(std::lround(toTwipsX(bar->x())));
        }
        bar->raise();
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

} // namespace browser
