#include "backend/worker_transport.h"

#include "backend/database.h"
#include "backend/request_processor.h"
#include "common/codec.h"
#include "common/failure.h"

#include <QMetaObject>
#include <QMutex>
#include <QTimer>
#include <QUuid>

#include <optional>

namespace zavek::backend {

class ProcessorWorker : public QObject {
public:
    explicit ProcessorWorker(QString location)
        : location_(std::move(location)),
          connection_(QStringLiteral("zavek-worker-") +
                      QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

    ~ProcessorWorker() override {
        processor_.reset();
        if (opened_)
            closeDatabase(connection_);
    }

    // Runs on the worker thread.
    QByteArray handle(const QByteArray& request) {
        if (!processor_ && openError_.isEmpty()) {
            if (const auto failure = attempt([&] {
                    processor_.emplace(openDatabase(location_, connection_));
                    opened_ = true;
                }))
                openError_ = failure->description();
        }
        if (processor_)
            return processor_->process(request);
        // Still answer, so the screen shows why nothing works.
        MessageData reply;
        if (attempt([&] { reply = decodeMessage(request); }))
            return QByteArray();
        reply.criteria.clear();
        reply.tables.clear();
        reply.errorText = QStringLiteral("The server cannot open its database: %1").arg(openError_);
        return encodeMessage(reply);
    }

private:
    QString location_;
    QString connection_;
    std::optional<RequestProcessor> processor_;
    QString openError_;
    bool opened_ = false;
};

WorkerTransport::WorkerTransport(QString location)
    : sink_(std::make_shared<std::function<void(const QByteArray&)>>()) {
    thread_.setObjectName(QStringLiteral("zavek-backend"));
    worker_ = new ProcessorWorker(std::move(location));
    worker_->moveToThread(&thread_);
    thread_.start();
}

WorkerTransport::~WorkerTransport() {
    *sink_ = nullptr;
    // The worker's connection belongs to its thread: it must be closed there.
    ProcessorWorker* worker = worker_;
    QMetaObject::invokeMethod(
        worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
}

void WorkerTransport::setReplySink(std::function<void(const QByteArray&)> sink) {
    // The sink is read on the worker thread; replace it by value through a fresh holder.
    auto holder = std::make_shared<std::function<void(const QByteArray&)>>(std::move(sink));
    std::atomic_store(&sink_, holder);
}

void WorkerTransport::send(const QByteArray& request) {
    if (stopped_)
        return;
    ProcessorWorker* worker = worker_;
    auto sink = std::atomic_load(&sink_);
    const int delay = delayMs_;
    QMetaObject::invokeMethod(
        worker,
        [worker, request, sink, delay] {
            const QByteArray reply = worker->handle(request);
            if (reply.isEmpty())
                return;
            auto deliver = [sink, reply] {
                if (sink && *sink)
                    (*sink)(reply);
            };
            if (delay > 0)
                QTimer::singleShot(delay, worker, deliver);
            else
                deliver();
        },
        Qt::QueuedConnection);
}

} // namespace zavek::backend
