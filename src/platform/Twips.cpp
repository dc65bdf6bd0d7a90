#include "platform/Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace platform {

namespace {
double dpiX()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchX() : 96.0;
}
double dpiY()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->logicalDotsPerInchY() : 96.0;
}
} // namespace

double twipsPerPixelX() { return TwipsPerInch / dpiX(); }
double twipsPerPixelY() { return TwipsPerInch / dpiY(); }
int toPixelsX(double twips) { return int(std::lround(twips / twipsPerPixelX())); }
int toPixelsY(double twips) { return int(std::lround(twips / twipsPerPixelY())); }
double toTwipsX(int pixels) { return pixels * twipsPerPixelX(); }
double toTwipsY(int pixels) { return pixels * twipsPerPixelY(); }

QRect twipsRect(double left, double top, double width, double height)
{
    return QRect(toPixelsX(left), toPixelsY(top), toPixelsX(width), toPixelsY(height));
}

QSize twipsSize(double width, double height) { return QSize(toPixelsX(width), toPixelsY(height)); }

} // namespace platform
