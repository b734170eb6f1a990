#pragma once
// The request processor on its own worker thread with its own database connection. Requests
// and replies cross the thread as bytes, as they would cross a socket.

#include "common/transport.h"

#include <QString>
#include <QThread>

#include <atomic>
#include <memory>

namespace zavek::backend {

class ProcessorWorker;

class WorkerTransport final : public ITransport {
public:
    explicit WorkerTransport(QString location);
    ~WorkerTransport() override;

    void send(const QByteArray& request) override;
    void setReplySink(std::function<void(const QByteArray&)> sink) override;

    // A slow back end, for tests and the close scenarios.
    void setReplyDelayMs(int ms) { delayMs_ = ms; }
    // A stopped back end drops requests unanswered.
    void setStopped(bool stopped) { stopped_ = stopped; }

private:
    QThread thread_;
    ProcessorWorker* worker_ = nullptr;
    std::shared_ptr<std::function<void(const QByteArray&)>> sink_;
    std::atomic<int> delayMs_{0};
    std::atomic<bool> stopped_{false};
};

} // namespace zavek::backend
