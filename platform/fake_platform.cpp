#include "platform/fake_platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>

namespace zavek::platform {

int FakeMessageBox::Show(const QString& text, BoxStyle style, const QString& title) {
    int answer =
        style == BoxStyle::YesNoCancelQuestion || style == BoxStyle::AddReplaceCancelQuestion
            ? AnswerCancel
            : AnswerOk;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    shown_.push_back(ShownBox{text, static_cast<int>(style), title, answer});
    if (onShow)
        onShow(shown_.back());
    return answer;
}

int FakeDialogRunner::Run(QDialog& dialog) {
    ++runs_;
    // As a modal dialog does when it closes, the window it was opened over is active again.
    QWidget* opener = QApplication::activeWindow();
    dialog.show();
    const int result = onRun ? onRun(dialog) : QDialog::Rejected;
    dialog.hide();
    if (opener)
        opener->activateWindow();
    return result;
}

void FakeEventPump::ProcessEvents() {
    ++processCount_;
    if (runQtEvents_ && QCoreApplication::instance()) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    // Take the due work out first: a callback may schedule more.
    std::vector<std::function<void()>> due;
    for (auto it = scheduled_.begin(); it != scheduled_.end();) {
        if (it->time <= nowMs_) {
            due.push_back(std::move(it->fn));
            it = scheduled_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& fn : due)
        fn();
    if (onProcess)
        onProcess();
}

void FakeEventPump::Sleep(int milliseconds) {
    ++sleepCount_;
    nowMs_ += milliseconds;
}

void FakeEventPump::at(long long timeMs, std::function<void()> fn) {
    scheduled_.push_back(Scheduled{timeMs, std::move(fn)});
}

} // namespace zavek::platform
