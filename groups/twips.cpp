#include "groups/twips.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QScreen>

#include <cmath>

namespace zavek {

namespace {
constexpr double kTwipsPerInch = 1440.0;

double logicalDpi(Axis axis, const QPaintDevice* device) {
    const bool horizontal = axis == Axis::Horizontal;
    if (device)
        return horizontal ? device->logicalDpiX() : device->logicalDpiY();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return 96.0;
}
} // namespace

int twipsToPixels(int twips, Axis axis, const QPaintDevice* device) {
    return static_cast<int>(std::lround(twips * logicalDpi(axis, device) / kTwipsPerInch));
}

} // namespace zavek
