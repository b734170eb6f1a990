#include "platform/qt_platform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace zavek::platform;

namespace {

struct SeenBox {
    bool found = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::CursorShape cursorWhileOpen = Qt::BlankCursor;
};

// Waits (by polling from the event loop that exec() runs) for the modal box, records it and
// clicks the given button; closes any box after a bounded number of polls so a test cannot hang.
class BoxClicker : public QObject {
public:
    BoxClicker(QMessageBox::StandardButton button, SeenBox& seen) : button_(button), seen_(seen) {
        connect(&timer_, &QTimer::timeout, this, &BoxClicker::poll);
        timer_.start(10);
    }

private:
    void poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (++polls_ > 500) {
                timer_.stop();
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* stray = qobject_cast<QMessageBox*>(w))
                        stray->reject();
            }
            return;
        }
        timer_.stop();
        seen_.found = true;
        seen_.title = box->windowTitle();
        seen_.text = box->text();
        seen_.icon = box->icon();
        seen_.buttons = box->standardButtons();
        if (const QCursor* c = QGuiApplication::overrideCursor())
            seen_.cursorWhileOpen = c->shape();
        if (QAbstractButton* b = box->button(button_))
            b->click();
        else
            box->reject();
    }

    QMessageBox::StandardButton button_;
    SeenBox& seen_;
    QTimer timer_;
    int polls_ = 0;
};

int showAndClick(int style, QMessageBox::StandardButton button, SeenBox& seen) {
    BoxClicker clicker(button, seen);
    return QtMessageBox().Show(QStringLiteral("Save changes to Jane Doe?"), style,
                               QStringLiteral("Security Administration"));
}

} // namespace

class QtMessageBoxTest : public ::testing::Test {
protected:
    void TearDown() override {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
    SeenBox seen;
};

TEST_F(QtMessageBoxTest, QuestionStyleShowsYesNoCancelWithTheQuestionIcon) {
    EXPECT_EQ(showAndClick(YesNoCancelQuestion, QMessageBox::Yes, seen), 6);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(seen.title, QStringLiteral("Security Administration"));
    EXPECT_EQ(seen.text, QStringLiteral("Save changes to Jane Doe?"));
}

TEST_F(QtMessageBoxTest, NoAndCancelAnswerSevenAndTwo) {
    EXPECT_EQ(showAndClick(YesNoCancelQuestion, QMessageBox::No, seen), 7);
    SeenBox again;
    EXPECT_EQ(showAndClick(YesNoCancelQuestion, QMessageBox::Cancel, again), 2);
    EXPECT_TRUE(again.found);
}

TEST_F(QtMessageBoxTest, ClosingAQuestionWithoutAButtonCancels) {
    // NoButton makes the clicker reject the box, as the window's close button would.
    EXPECT_EQ(showAndClick(YesNoCancelQuestion, QMessageBox::NoButton, seen), 2);
}

TEST_F(QtMessageBoxTest, CriticalStyleShowsOkWithTheCriticalIcon) {
    EXPECT_EQ(showAndClick(OkCritical, QMessageBox::Ok, seen), 1);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST_F(QtMessageBoxTest, BoxShowsTheArrowOverTheHourglassAndGivesItBack) {
    QtMousePointer pointer;
    pointer.SetShape(PointerHourglass);
    showAndClick(OkCritical, QMessageBox::Ok, seen);
    EXPECT_EQ(seen.cursorWhileOpen, Qt::ArrowCursor);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    pointer.SetShape(PointerDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

class QtMousePointerTest : public ::testing::Test {
protected:
    void TearDown() override {
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    }
};

TEST_F(QtMousePointerTest, HourglassSetTwiceIsUndoneByOneDefault) {
    QtMousePointer pointer;
    pointer.SetShape(PointerHourglass);
    pointer.SetShape(PointerHourglass);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(pointer.Shape(), 11);
    pointer.SetShape(PointerDefault);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(pointer.Shape(), 0);
}

TEST_F(QtMousePointerTest, DefaultWithoutHourglassLeavesOthersCursorsAlone) {
    QGuiApplication::setOverrideCursor(Qt::CrossCursor);
    QtMousePointer pointer;
    pointer.SetShape(PointerDefault);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
}

TEST_F(QtMousePointerTest, DestroyingThePointerGivesTheCursorBack) {
    {
        QtMousePointer pointer;
        pointer.SetShape(PointerHourglass);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(QtEventPumpTest, ProcessEventsDeliversPendingWork) {
    QObject target;
    bool delivered = false;
    QMetaObject::invokeMethod(
        &target, [&] { delivered = true; }, Qt::QueuedConnection);
    QtEventPump().ProcessEvents();
    EXPECT_TRUE(delivered);
}

TEST(QtEventPumpTest, NegativeSleepReturns) {
    QtEventPump pump;
    pump.Sleep(-5);
    pump.Sleep(0);
    SUCCEED();
}

TEST(QtPlatformTest, ServicesAreSharedOnTheThreadAndCarryTheComponent) {
    StaticComponentInfo info(1, 12, QStringLiteral("SCR.ZAVEK_SecurityAdmin"));
    const Platform a = qtPlatform(&info);
    const Platform b = qtPlatform(&info);
    EXPECT_EQ(a.messageBox, b.messageBox);
    EXPECT_EQ(a.pointer, b.pointer);
    EXPECT_EQ(a.events, b.events);
    EXPECT_EQ(a.component, &info);
    EXPECT_EQ(a.component->Major(), 1);
    EXPECT_EQ(a.component->Minor(), 12);
    EXPECT_EQ(a.component->ExeName(), QStringLiteral("SCR.ZAVEK_SecurityAdmin"));
    EXPECT_EQ(versionText(info), QStringLiteral("1.12"));
}
