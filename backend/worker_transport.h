#pragma once
#include "common/transport.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <mutex>

namespace zavek::backend {

class Worker;

// The request processor on its own worker thread with its own database connection, opened
// there from location. Requests cross the thread as bytes; replies go to the sink from the
// worker thread.
class WorkerTransport final : public ITransport {
public:
    explicit WorkerTransport(QString location);
    ~WorkerTransport() override;
    WorkerTransport(const WorkerTransport&) = delete;
    WorkerTransport& operator=(const WorkerTransport&) = delete;

    void send(const QByteArray& request) override;
    void setReplySink(std::function<void(const QByteArray&)> sink) override;
    void setReplyDelayMs(int ms) { replyDelayMs_ = ms; }
    // A stopped back end drops requests unanswered.
    void setStopped(bool stopped) { stopped_ = stopped; }

private:
    void deliver(const QByteArray& reply);

    QThread thread_;
    Worker* worker_;
    std::mutex sinkMutex_;
    std::function<void(const QByteArray&)> sink_;
    std::atomic<int> replyDelayMs_{0};
    std::atomic<bool> stopped_{false};
};

} // namespace zavek::backend
