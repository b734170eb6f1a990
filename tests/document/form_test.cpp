#include "groups/twips.h"
#include "tests/support/screen.h"
#include "toolbox/officer_select.h"

#include <QGroupBox>
#include <QPaintDevice>

namespace zavek::testing {
namespace {

// A screen whose pixels are twice as tall as they are wide.
class TallPixels final : public QPaintDevice {
public:
    QPaintEngine* paintEngine() const override { return nullptr; }

protected:
    int metric(PaintDeviceMetric m) const override {
        return m == PdmDpiY || m == PdmPhysicalDpiY   ? 48
               : m == PdmDpiX || m == PdmPhysicalDpiX ? 96
                                                      : 1;
    }
};

// Tops and heights follow the vertical DPI; each control sits in its place inside its parent.
TEST_F(Screen, FormLaysOutItsControlsInTwips) {
    const TallPixels tall;
    EXPECT_EQ(twipsToPixels(1440, Axis::Horizontal, &tall), 96);
    EXPECT_EQ(twipsToPixels(1440, Axis::Vertical, &tall), 48);
    SecurityForm& f = doc->form();
    const auto at = [&f](int left, int top, int width, int height) {
        return QRect(
            twipsToPixels(left, Axis::Horizontal, &f), twipsToPixels(top, Axis::Vertical, &f),
            twipsToPixels(width, Axis::Horizontal, &f), twipsToPixels(height, Axis::Vertical, &f));
    };
    EXPECT_EQ(QRect(QPoint(), f.size()), at(0, 0, 11250, 8625));
    const std::tuple<QWidget*, QWidget*, QRect> places[] = {
        {f.officerSelect(), &f, at(0, 120, 11145, 4335)},
        {f.frame(), &f, at(30, 4440, 11055, 4065)},
        {f.resetPassword(), f.frame(), at(8460, 630, 1725, 255)},
        {f.list(0), f.frame(), at(270, 600, 3870, 3375)},
        {f.list(1), f.frame(), at(4410, 600, 3870, 3375)},
        {f.caption(), f.frame(), at(270, 300, 1365, 240)}};
    for (const auto& [widget, parent, rect] : places)
        EXPECT_TRUE(widget->geometry() == rect && widget->parentWidget() == parent)
            << widget->metaObject()->className();
}

} // namespace
} // namespace zavek::testing
