#include "platform/qt_platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

using namespace zavek::platform;

namespace {

Qt::CursorShape overrideShape() {
    const QCursor* c = QGuiApplication::overrideCursor();
    return c ? c->shape() : Qt::BlankCursor; // blank: no override
}

// Each box style with the button clicked (none: closed by the window's close button), the
// answer it gives, and what it showed.
TEST(QtMessageBoxTest, EachStyleShowsItsButtonsAndIconAndAnswersTheClickedButton) {
    struct Case {
        int style;
        QMessageBox::StandardButton click;
        int answer;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };
    const auto yesNoCancel = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    const Case cases[] = {
        {YesNoCancelQuestion, QMessageBox::Yes, 6, QMessageBox::Question, yesNoCancel},
        {YesNoCancelQuestion, QMessageBox::No, 7, QMessageBox::Question, yesNoCancel},
        {YesNoCancelQuestion, QMessageBox::Cancel, 2, QMessageBox::Question, yesNoCancel},
        {YesNoCancelQuestion, QMessageBox::NoButton, 2, QMessageBox::Question, yesNoCancel},
        {OkCritical, QMessageBox::Ok, 1, QMessageBox::Critical, QMessageBox::Ok},
    };
    QtMousePointer pointer;
    pointer.SetShape(PointerHourglass); // the box shows the arrow over the hourglass
    for (const Case& c : cases) {
        QString seen;
        QTimer poll; // the box is modal: click it from the event loop it runs
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            seen = u"%1|%2|%3|%4|%5"_s.arg(box->windowTitle(), box->text())
                       .arg(box->icon())
                       .arg(box->standardButtons().toInt())
                       .arg(overrideShape());
            if (QAbstractButton* b = box->button(c.click))
                b->click();
            else
                box->reject();
        });
        poll.start(10);
        QTimer::singleShot(5000, [] { // a test must not hang on a box nobody clicks
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->reject();
        });
        EXPECT_EQ(QtMessageBox().Show(u"Save changes to Jane Doe?"_s, c.style,
                                      u"Security Administration"_s),
                  c.answer);
        EXPECT_EQ(seen, u"Security Administration|Save changes to Jane Doe?|%1|%2|%3"_s.arg(c.icon)
                            .arg(c.buttons.toInt())
                            .arg(Qt::ArrowCursor));
        EXPECT_EQ(overrideShape(), Qt::WaitCursor) << "the hourglass comes back";
    }
}

TEST(QtMousePointerTest, OneDefaultUndoesTheHourglassAndLeavesOthersCursorsAlone) {
    {
        QtMousePointer pointer;
        pointer.SetShape(PointerHourglass);
        pointer.SetShape(PointerHourglass);
        EXPECT_EQ(overrideShape(), Qt::WaitCursor);
        EXPECT_EQ(pointer.Shape(), 11);
        pointer.SetShape(PointerDefault);
        EXPECT_EQ(overrideShape(), Qt::BlankCursor);
        EXPECT_EQ(pointer.Shape(), 0);
        pointer.SetShape(PointerHourglass);
    } // destroying the pointer gives the cursor back
    EXPECT_EQ(overrideShape(), Qt::BlankCursor);
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    QtMousePointer().SetShape(PointerDefault);
    EXPECT_EQ(overrideShape(), Qt::CrossCursor);
    QGuiApplication::restoreOverrideCursor();
}

} // namespace
