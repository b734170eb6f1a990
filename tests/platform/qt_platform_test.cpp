#include "platform/qt_platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace zavek::platform;

static int overrideShape() {
    const QCursor* c = QGuiApplication::overrideCursor();
    return c ? c->shape() : -1; // -1: no override
}

// Each style with the button clicked (none: the window's close button), the answer, and what
// the box showed: icon, buttons and the arrow over the hourglass, which comes back afterwards.
TEST(QtPlatformTest, EachBoxStyleAnswersTheClickedButtonAndOneDefaultUndoesTheHourglass) {
    const auto ync = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    const std::tuple<int, QMessageBox::StandardButton, int, int, QMessageBox::StandardButtons>
        cases[] = {{YesNoCancelQuestion, QMessageBox::Yes, 6, QMessageBox::Question, ync},
                   {YesNoCancelQuestion, QMessageBox::No, 7, QMessageBox::Question, ync},
                   {YesNoCancelQuestion, QMessageBox::NoButton, 2, QMessageBox::Question, ync},
                   {OkCritical, QMessageBox::Ok, 1, QMessageBox::Critical, QMessageBox::Ok}};
    auto pointer = std::make_unique<QtMousePointer>();
    pointer->SetShape(PointerHourglass);
    pointer->SetShape(PointerHourglass);
    for (const auto& [style, click, answer, icon, buttons] : cases) {
        QVariantList seen;
        QTimer poll; // the box is modal: click it from the event loop it runs
        QObject::connect(&poll, &QTimer::timeout, [&, click = click] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                poll.stop();
                seen = {box->windowTitle(), box->text(), int(box->icon()),
                        box->standardButtons().toInt(), overrideShape()};
                box->button(click) ? box->button(click)->click() : box->reject();
            }
        });
        poll.start(10);
        EXPECT_EQ(QtMessageBox().Show("Save changes?", style, "Security Administration"), answer);
        EXPECT_EQ(seen, (QVariantList{"Security Administration", "Save changes?", icon,
                                      buttons.toInt(), int(Qt::ArrowCursor)}));
        EXPECT_EQ(overrideShape(), Qt::WaitCursor);
    }
    EXPECT_EQ(pointer->Shape(), 11);
    pointer->SetShape(PointerDefault);
    EXPECT_EQ(overrideShape(), -1);
    EXPECT_EQ(pointer->Shape(), 0);
    pointer->SetShape(PointerHourglass);
    pointer.reset(); // destroying the pointer gives the cursor back, and leaves others' alone
    EXPECT_EQ(overrideShape(), -1);
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    QtMousePointer().SetShape(PointerDefault);
    EXPECT_EQ(overrideShape(), Qt::CrossCursor);
}
