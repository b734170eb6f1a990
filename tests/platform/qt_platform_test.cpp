#include "platform/qt_platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace zavek::platform;

// Each style with the button clicked (none: the window's close button), the answer, and what
// the box showed: title, text, icon, buttons and the arrow over the hourglass, which comes back
// afterwards. The pointer changes only its own override of someone else's cursor.
TEST(QtPlatformTest, EachBoxStyleAnswersTheClickedButtonAndOneDefaultUndoesTheHourglass) {
    // Always one set here.
    auto shape = [] { return int(QGuiApplication::overrideCursor()->shape()); };
    using B = QMessageBox;
    // clang-format off
    const std::tuple<int, B::StandardButton, int, int, B::StandardButtons> cases[] = {
        {YesNoCancelQuestion, B::Yes, 6, B::Question, B::Yes | B::No | B::Cancel}, {YesNoCancelQuestion, B::No, 7, B::Question, B::Yes | B::No | B::Cancel},
        {YesNoCancelQuestion, B::NoButton, 2, B::Question, B::Yes | B::No | B::Cancel}, {OkCritical, B::Ok, 1, B::Critical, B::Ok}};
    // clang-format on
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    QtMousePointer pointer;
    pointer.SetShape(PointerHourglass);
    pointer.SetShape(PointerHourglass);
    for (const auto& [style, click, answer, icon, buttons] : cases) {
        QTimer poll; // the box is modal: click it from the event loop it runs
        QObject::connect(
            &poll, &QTimer::timeout, [&, click = click, icon = icon, buttons = buttons] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    poll.stop();
                    EXPECT_EQ((QVariantList{box->windowTitle(), box->text(), int(box->icon()),
                                            box->standardButtons().toInt(), shape()}),
                              (QVariantList{"Security Administration", "Save changes?", icon,
                                            buttons.toInt(), int(Qt::ArrowCursor)}));
                    box->button(click) ? box->button(click)->click() : box->reject();
                }
            });
        poll.start(10);
        EXPECT_EQ(QtMessageBox().Show("Save changes?", style, "Security Administration"), answer);
        EXPECT_EQ(shape(), Qt::WaitCursor);
    }
    pointer.SetShape(PointerDefault);
    pointer.SetShape(PointerDefault); // no longer its own: the other cursor stays
    EXPECT_EQ(shape(), Qt::CrossCursor);
    QtMousePointer().SetShape(PointerHourglass); // destroyed, it gives the cursor back
    EXPECT_EQ(shape(), Qt::CrossCursor);
}
