#pragma once
#include "common/transport.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <functional>

namespace zavek::backend {

class Worker;

// The request processor on its own worker thread with its own database connection, opened
// there from location. Requests cross the thread as bytes; replies go to the sink from the
// worker thread.
class WorkerTransport final : public ITransport {
public:
    explicit WorkerTransport(QString location);
    ~WorkerTransport() override;

    void send(const QByteArray& request) override;
    void setReplySink(std::function<void(const QByteArray&)> sink) override;
    void setReplyDelayMs(int ms) { replyDelayMs_ = ms; }
    // A stopped back end drops requests unanswered.
    void setStopped(bool stopped) { stopped_ = stopped; }

private:
    QThread thread_;
    Worker* worker_;
    ReplySink replies_;
    std::atomic<int> replyDelayMs_{0};
    std::atomic<bool> stopped_{false};
};

} // namespace zavek::backend
