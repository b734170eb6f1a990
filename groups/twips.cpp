#include "groups/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace zavek {

namespace {
constexpr double kTwipsPerInch = 1440.0;

double logicalDpi(const QWidget* widget) {
    if (widget)
        return widget->logicalDpiX();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->logicalDotsPerInchX();
    return 96.0;
}
} // namespace

int twipsToPixels(int twips, const QWidget* widget) {
    return static_cast<int>(std::lround(twips * logicalDpi(widget) / kTwipsPerInch));
}

int pixelsToTwips(int pixels, const QWidget* widget) {
    return static_cast<int>(std::lround(pixels * kTwipsPerInch / logicalDpi(widget)));
}

} // namespace zavek
