#pragma once
// Forms are laid out in twips, 1440 per logical inch, so they keep their proportions at any screen
// density; these convert them to pixels and back.
#include <QPoint>
#include <QRect>
#include <QSize>

namespace platform {

constexpr double TwipsPerInch = 1440.0;

double twipsPerPixelX();
double twipsPerPixelY();
int toPixelsX(double twips);
int toPixelsY(double twips);
double toTwipsX(int pixels);
double toTwipsY(int pixels);
// left, top, width, height in twips.
QRect twipsRect(double left, double top, double width, double height);
QSize twipsSize(double width, double height);

} // namespace platform
