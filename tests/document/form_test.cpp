#include "tests/support/screen.h"
#include "toolbox/officer_select.h"

#include <QGroupBox>

namespace zavek::testing {
namespace {

// Every control is there, inside its parent and on it; those in the frame are clear of each
// other (the officer select's foot meets the frame's top by design).
TEST_F(Screen, FormLaysOutItsControlsWithoutOverlap) {
    SecurityForm& f = doc->form();
    const std::pair<QWidget*, QWidget*> controls[] = {
        {f.officerSelect(), &f}, {f.frame(), &f},        {f.resetPassword(), f.frame()},
        {f.list(0), f.frame()},  {f.list(1), f.frame()}, {f.caption(), f.frame()}};
    for (const auto& [widget, parent] : controls) {
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), parent) << widget->metaObject()->className();
        EXPECT_TRUE(!widget->geometry().isEmpty() && parent->rect().contains(widget->geometry()))
            << widget->metaObject()->className();
        for (const auto& [other, otherParent] : controls)
            EXPECT_TRUE(other == widget || otherParent != f.frame() || parent != f.frame() ||
                        !other->geometry().intersects(widget->geometry()))
                << widget->metaObject()->className() << " overlaps "
                << other->metaObject()->className();
    }
}

} // namespace
} // namespace zavek::testing
