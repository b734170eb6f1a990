#include "platform/fake_platform.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <gtest/gtest.h>

using namespace zavek::platform;

TEST(FakeMessageBoxTest, AnswersFromTheQueueInOrderAndRecordsEveryBox) {
    FakeMessageBox box;
    box.queueAnswer(AnswerNo);
    box.queueAnswer(AnswerYes);
    EXPECT_EQ(box.Show(QStringLiteral("Save changes to Jane Doe?"), YesNoCancelQuestion,
                       QStringLiteral("Security")),
              AnswerNo);
    EXPECT_EQ(box.Show(QStringLiteral("Again?"), YesNoCancelQuestion, QStringLiteral("Security")),
              AnswerYes);
    ASSERT_EQ(box.shown().size(), 2u);
    EXPECT_EQ(box.shown()[0].text, QStringLiteral("Save changes to Jane Doe?"));
    EXPECT_EQ(box.shown()[0].style, 35);
    EXPECT_EQ(box.shown()[0].title, QStringLiteral("Security"));
    EXPECT_EQ(box.shown()[0].answer, 7);
    EXPECT_EQ(box.shown()[1].answer, 6);
}

TEST(FakeMessageBoxTest, WithoutAQueuedAnswerQuestionsCancelAndNoticesAreOk) {
    FakeMessageBox box;
    EXPECT_EQ(box.Show(QStringLiteral("q"), YesNoCancelQuestion, QString()), 2);
    EXPECT_EQ(box.Show(QStringLiteral("n"), OkCritical, QString()), 1);
}

TEST(FakeMessageBoxTest, OnShowSeesTheBoxWhileItIsOpen) {
    FakeMessageBox box;
    std::vector<QString> during;
    box.onShow = [&](const ShownBox& shown) { during.push_back(shown.text); };
    box.Show(QStringLiteral("Refused"), OkCritical, QStringLiteral("T"));
    EXPECT_EQ(during, std::vector<QString>{QStringLiteral("Refused")});
    box.clear();
    EXPECT_TRUE(box.shown().empty());
}

TEST(FakeMousePointerTest, RemembersTheShapeAndItsHistory) {
    FakeMousePointer pointer;
    EXPECT_EQ(pointer.Shape(), PointerDefault);
    pointer.SetShape(PointerHourglass);
    pointer.SetShape(PointerDefault);
    EXPECT_EQ(pointer.Shape(), 0);
    EXPECT_EQ(pointer.history(), (std::vector<int>{11, 0}));
}

TEST(FakeEventPumpTest, SleepOnlyAdvancesTheFakeClock) {
    FakeEventPump pump(false);
    pump.Sleep(500);
    pump.Sleep(500);
    EXPECT_EQ(pump.now(), 1000);
    EXPECT_EQ(pump.sleepCount(), 2);
}

TEST(FakeEventPumpTest, ScheduledWorkRunsOnceWhenItsTimeHasCome) {
    FakeEventPump pump(false);
    int ran = 0;
    pump.at(1000, [&] { ++ran; });
    pump.ProcessEvents();
    EXPECT_EQ(ran, 0);
    pump.Sleep(1000);
    pump.ProcessEvents();
    pump.ProcessEvents();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(pump.processCount(), 3);
}

TEST(FakeEventPumpTest, ProcessEventsDeliversQueuedQtWork) {
    FakeEventPump pump;
    QObject target;
    bool delivered = false;
    QMetaObject::invokeMethod(
        &target, [&] { delivered = true; }, Qt::QueuedConnection);
    pump.ProcessEvents();
    EXPECT_TRUE(delivered);
}

TEST(FakePlatformTest, BundlesItsFakesAndTheComponentIdentity) {
    FakePlatform fake;
    const Platform p = fake.platform();
    EXPECT_EQ(p.messageBox, &fake.messageBox);
    EXPECT_EQ(p.pointer, &fake.pointer);
    EXPECT_EQ(p.events, &fake.events);
    EXPECT_EQ(p.component->ExeName(), QStringLiteral("SCR.ZAVEK_SecurityAdmin"));
    fake.component.setVersion(1, 12);
    EXPECT_EQ(versionText(*p.component), QStringLiteral("1.12"));
}
