#include "backend/worker_transport.h"

#include "backend/database.h"
#include "backend/request_processor.h"
#include "backend/schema.h"
#include "common/codec.h"
#include "common/failure.h"

#include <QCborMap>
#include <QCborValue>
#include <QTimer>
#include <QUuid>

#include <memory>

namespace zavek::backend {

// Lives on the worker thread; owns the connection and the processor there.
class Worker : public QObject {
public:
    explicit Worker(QString location) : location_(std::move(location)) {}

    QByteArray handle(const QByteArray& request) {
        if (!processor_) {
            if (auto failure = attempt([&] { open(); })) {
                MessageData reply;
                try {
                    const MessageData decoded = decodeMessage(request);
                    reply = LoopbackTransport::replyTo(decoded, failure->description());
                } catch (const Failure&) {
                    return {};
                }
                return encodeMessage(reply);
            }
        }
        return processor_->process(request);
    }

    void shutdown() {
        processor_.reset();
        if (!connection_.isEmpty())
            closeDatabase(connection_);
        connection_.clear();
    }

private:
    void open() {
        const QString name =
            QStringLiteral("zavek-backend-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        QSqlDatabase db = openDatabase(location_, name);
        connection_ = name;
        migrate(db);
        processor_ = std::make_unique<RequestProcessor>(db);
    }

    QString location_;
    QString connection_;
    std::unique_ptr<RequestProcessor> processor_;
};

WorkerTransport::WorkerTransport(QString location) : worker_(new Worker(std::move(location))) {
    thread_.setObjectName(QStringLiteral("zavek-backend"));
    worker_->moveToThread(&thread_);
    thread_.start();
}

WorkerTransport::~WorkerTransport() {
    stopTransportThread(replies_, thread_, worker_, [worker = worker_] { worker->shutdown(); });
    delete worker_;
}

void WorkerTransport::send(const QByteArray& request) {
    if (stopped_)
        return;
    Worker* worker = worker_;
    QMetaObject::invokeMethod(
        worker,
        [this, worker, request] {
            const QByteArray reply = worker->handle(request);
            if (reply.isEmpty())
                return;
            const int delay = replyDelayMs_;
            if (delay <= 0)
                replies_.deliver(reply);
            else
                QTimer::singleShot(delay, worker, [this, reply] { replies_.deliver(reply); });
        },
        Qt::QueuedConnection);
}

void WorkerTransport::setReplySink(std::function<void(const QByteArray&)> sink) {
    replies_.set(std::move(sink));
}

} // namespace zavek::backend
