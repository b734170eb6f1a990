#pragma once
// Scripted stand-ins for the platform services, for tests: nothing here blocks or waits.

#include "platform/platform.h"

#include <deque>
#include <functional>
#include <vector>

namespace zavek::platform {

struct ShownBox {
    QString text;
    int style = 0; // the style's number
    QString title;
    int answer = 0;
};

class ZAVEK_PLATFORM_API FakeMessageBox final : public IMessageBox {
public:
    // Queues the answer of the next question; boxes without a queued answer get Cancel when
    // they ask a question, OK otherwise.
    void queueAnswer(int answer) { answers_.push_back(answer); }
    int Show(const QString& text, BoxStyle style, const QString& title) override;
    const std::vector<ShownBox>& shown() const { return shown_; }
    void clear() { shown_.clear(), answers_.clear(); }
    // Runs inside Show, before it answers: lets a test act while the box is "open".
    std::function<void(const ShownBox&)> onShow;

private:
    std::deque<int> answers_;
    std::vector<ShownBox> shown_;
};

// Shows the dialog without a loop of its own and lets the test act on it; no script: rejected.
class ZAVEK_PLATFORM_API FakeDialogRunner final : public IDialogRunner {
public:
    int Run(QDialog& dialog) override;
    std::function<int(QDialog&)> onRun;
    int runCount() const { return runs_; }

private:
    int runs_ = 0;
};

class ZAVEK_PLATFORM_API FakeMousePointer final : public IMousePointer {
public:
    void SetShape(PointerShape shape) override { shape_ = shape, history_.push_back(shape); }
    PointerShape Shape() const override { return shape_; }
    const std::vector<PointerShape>& history() const { return history_; }

private:
    PointerShape shape_ = PointerDefault;
    std::vector<PointerShape> history_;
};

// A pump with a fake clock: Sleep only advances the clock. ProcessEvents can also run the
// real Qt event queue, so that queued replies are delivered inside it.
class ZAVEK_PLATFORM_API FakeEventPump final : public IEventPump {
public:
    explicit FakeEventPump(bool runQtEvents = true) : runQtEvents_(runQtEvents) {}
    void ProcessEvents() override;
    void Sleep(int milliseconds) override;
    long long now() const { return nowMs_; }
    int processCount() const { return processCount_; }
    int sleepCount() const { return sleepCount_; }
    // Runs fn the first time ProcessEvents runs at or after the given fake time.
    void at(long long timeMs, std::function<void()> fn);
    // Runs on every ProcessEvents, after the scheduled work.
    std::function<void()> onProcess;

private:
    struct Scheduled {
        long long time;
        std::function<void()> fn;
    };
    bool runQtEvents_;
    long long nowMs_ = 0;
    int processCount_ = 0;
    int sleepCount_ = 0;
    std::vector<Scheduled> scheduled_;
};

class ZAVEK_PLATFORM_API FakePlatform {
public:
    FakePlatform() : component(1, 0, QStringLiteral("SCR.ZAVEK_SecurityAdmin")) {}
    FakeMessageBox messageBox;
    FakeMousePointer pointer;
    FakeEventPump events;
    FakeDialogRunner dialogs;

    class Component final : public IComponentInfo {
    public:
        Component(int major, int minor, QString exe) : major_(major), minor_(minor), exe_(exe) {}
        int Major() const override { return major_; }
        int Minor() const override { return minor_; }
        QString ExeName() const override { return exe_; }
        void setVersion(int major, int minor) { major_ = major, minor_ = minor; }

    private:
        int major_;
        int minor_;
        QString exe_;
    } component;

    Platform platform() { return Platform{&messageBox, &pointer, &events, &component, &dialogs}; }
};

} // namespace zavek::platform
