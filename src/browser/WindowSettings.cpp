#include "browser/WindowSettings.h"

#include "browser/FrmMain.h"
#include "platform/Settings.h"
#include "platform/Twips.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWindow>
#include <cmath>

namespace browser {

namespace {
const QString Section = QStringLiteral("FrmMain");

double read(const QString &key, double defaultValue)
{
    bool ok = false;
    const double value =
        platform::getSetting(WindowSettings::appName(), Section, key, QString::number(defaultValue)).toDouble(&ok);
    return ok ? value : defaultValue;
}

void write(const QString &key, double value)
{
    platform::saveSetting(WindowSettings::appName(), Section, key, QString::number(std::lround(value)));
}

QRect screenArea(QWidget *window)
{
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}
} // namespace

QString WindowSettings::appName() { return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName(); }

void WindowSettings::restore(QMainWindow *window)
{
    const QRect screen = screenArea(window);
    const double screenW = platform::toTwipsX(screen.width());
    const double screenH = platform::toTwipsY(screen.height());
    // Designed size: three quarters of the screen, so that the first start is centred.
    window->resize(platform::toPixelsX(screenW * 0.75), platform::toPixelsY(screenH * 0.75));

    const int state = int(read(QStringLiteral("WindowStat"), 0));
    const double left = read(QStringLiteral("Left"), (screenW - platform::toTwipsX(window->width())) / 2);
    const double top = read(QStringLiteral("Top"), (screenH - platform::toTwipsY(window->height())) / 2);
    const double height = read(QStringLiteral("Height"), screenH * 0.75);
    const double width = read(QStringLiteral("Width"), screenW * 0.75);
    window->move(screen.x() + platform::toPixelsX(left), screen.y() + platform::toPixelsY(top));
    window->resize(std::max(1, platform::toPixelsX(width)), std::max(1, platform::toPixelsY(height)));
    if (state == 2)
        window->setWindowState(Qt::WindowMaximized);
}

int WindowSettings::restoredSplit(QMainWindow *window)
{
    const double inner = platform::toTwipsX(window->centralWidget() ? window->centralWidget()->width()
                                                                    : window->width());
    const double innerWidth = std::max(inner, platform::toTwipsX(window->width()));
    return int(std::lround(read(QStringLiteral("Split"), innerWidth * 0.75)));
}

void WindowSettings::save(FrmMain *window)
{
    const Qt::WindowStates states = window->windowState();
    write(QStringLiteral("WindowStat"), (states & Qt::WindowMaximized) && !(states & Qt::WindowMinimized) ? 2 : 0);
    const QRect normal = (states & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))
                             ? window->normalGeometry()
                             : window->geometry();
    // restore() places the frame with move(); saving the client's corner would creep the window by its
    // frame on every start.
    const QMargins frame = window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    const QPoint corner = normal.topLeft() - QPoint(frame.left(), frame.top());
    const QRect screen = screenArea(window);
    write(QStringLiteral("Split"), window->splitterPos());
    write(QStringLiteral("Left"), platform::toTwipsX(corner.x() - screen.x()));
    write(QStringLiteral("Top"), platform::toTwipsY(corner.y() - screen.y()));
    write(QStringLiteral("Height"), platform::toTwipsY(normal.height()));
    write(QStringLiteral("Width"), platform::toTwipsX(normal.width()));
}

} // namespace browser
