#include "common/message_bus.h"

#include "common/codec.h"
#include "common/error_logger.h"
#include "common/failure.h"
#include "common/per_thread.h"

#include <QMetaObject>

namespace zavek {

namespace {
constexpr std::size_t kPendingLimit = 1024;
const QString kBusSource = QStringLiteral("ZAVEK_COMMON.MessageBus");
const QString kLibraryName = QStringLiteral("ZAVEK_COMMON");
} // namespace

KelbListener* KelbListener::Instance() {
    return &PerThread<KelbListener>::get();
}

ReplyStore& ReplyStore::Instance() {
    return PerThread<ReplyStore>::get();
}

void ReplyStore::put(const MessageData& reply) {
    put(std::make_shared<const MessageData>(reply));
}

void ReplyStore::put(std::shared_ptr<const MessageData> reply) {
    const Key key{reply->replyTo, reply->messageId};
    if (auto it = index_.find(key); it != index_.end()) {
        order_.erase(it->second);
        index_.erase(it);
    }
    order_.emplace_back(key, std::move(reply));
    index_[key] = std::prev(order_.end());
    while (index_.size() > kLimit) {
        index_.erase(order_.front().first);
        order_.pop_front();
    }
}

const MessageData* ReplyStore::find(const QString& recipient, const QString& messageId) const {
    const auto it = index_.find(Key{recipient, messageId});
    return it == index_.end() ? nullptr : it->second->second.get();
}

std::unique_ptr<RecordTable> ReplyStore::GetTable(const QString& name, const QString& recipient,
                                                  const QString& messageId) const {
    const MessageData* reply = find(recipient, messageId);
    if (!reply)
        return nullptr;
    const TableData* table = reply->table(name);
    if (!table)
        return nullptr;
    return std::make_unique<RecordTable>(*table);
}

void ReplyStore::clear() {
    order_.clear();
    index_.clear();
    announcing_ = nullptr;
}

ReplyChecker& ReplyChecker::Instance() {
    return PerThread<ReplyChecker>::get();
}

QString ReplyChecker::GetReplyError(QString recipient, QString source, QString messageId) const {
    Q_UNUSED(source);
    const ReplyStore& store = ReplyStore::Instance();
    if (const MessageData* now = store.announcing();
        now && now->replyTo.trimmed() == recipient.trimmed())
        return now->errorText;
    if (const MessageData* reply = store.find(recipient, messageId))
        return reply->errorText;
    return QString();
}

MessageBus& MessageBus::Instance() {
    return PerThread<MessageBus>::get();
}

MessageBus::MessageBus() : self_(std::make_shared<QPointer<MessageBus>>(this)) {}

MessageBus::~MessageBus() {
    *self_ = nullptr;
    if (transport_)
        transport_->setReplySink({});
}

void MessageBus::setTransport(std::shared_ptr<ITransport> transport) {
    if (transport_)
        transport_->setReplySink({});
    transport_ = std::move(transport);
    if (!transport_)
        return;
    std::weak_ptr<QPointer<MessageBus>> weak = self_;
    transport_->setReplySink([weak](const QByteArray& bytes) {
        const auto strong = weak.lock();
        if (!strong || !*strong)
            return;
        // Replies are handled on the bus's own thread, never on the transport's.
        QPointer<MessageBus> bus = *strong;
        QMetaObject::invokeMethod(
            bus.data(),
            [bus, bytes] {
                if (bus)
                    bus->receive(bytes);
            },
            Qt::QueuedConnection);
    });
}

void MessageBus::send(const MessageData& request) {
    if (!transport_)
        fail(codes::kNotConnected,
             tr("The back end is not connected; sign in again or restart the shell."));
    if (request.messageId.isEmpty())
        fail(codes::kInvalidArgument, QStringLiteral("A request must carry a message identifier."));
    const QByteArray bytes = encodeMessage(request);
    // Handed over first: a request the transport could not send leaves no count and no clock
    // behind, so a later reply under the same identifier is not taken for its late answer. A
    // reply cannot overtake the counting below: the sink always queues it to this thread.
    transport_->send(bytes);

    auto& entry = pending_[request.messageId];
    if (!entry.timer) {
        pendingOrder_.push_back(request.messageId);
        entry.timer = std::make_unique<QTimer>();
        entry.timer->setSingleShot(true);
        const QString id = request.messageId;
        connect(entry.timer.get(), &QTimer::timeout, this, [this, id] { timedOut(id); });
    }
    // A message identifier may be reused (a save reuses its retrieval's): the clock restarts.
    entry.recipient = request.replyTo;
    ++entry.unanswered;
    entry.timer->start(timeoutMs_);
    forgetOldest();
}

std::size_t MessageBus::outstanding() const {
    std::size_t n = 0;
    for (const auto& [id, p] : pending_)
        n += p.unanswered > 0 ? 1 : 0;
    return n;
}

void MessageBus::forgetOldest() {
    while (pendingOrder_.size() > kPendingLimit) {
        pending_.erase(pendingOrder_.front());
        pendingOrder_.pop_front();
    }
}

void MessageBus::timedOut(const QString& messageId) {
    const auto it = pending_.find(messageId);
    if (it == pending_.end() || it->second.unanswered == 0)
        return;
    // Everything sent under this identifier so far has now timed out; a late reply is still
    // delivered, and a later send starts a fresh count.
    it->second.late += it->second.unanswered;
    it->second.unanswered = 0;
    if (const auto failure =
            attempt([&] { emit KelbListener::Instance()->MsgTimeout(QVariant(messageId)); }))
        ErrorLogger::Instance().LogError(failure->description(), kLibraryName, kBusSource,
                                         std::nullopt, 1);
}

void MessageBus::receive(const QByteArray& bytes) {
    MessageData reply;
    if (const auto failure = attempt([&] { reply = decodeMessage(bytes); })) {
        ErrorLogger::Instance().LogError(failure->description(), kLibraryName, kBusSource,
                                         std::nullopt, 1);
        return;
    }
    const auto it = pending_.find(reply.messageId);
    if (it == pending_.end()) {
        ErrorLogger::Instance().LogError(
            QStringLiteral("A reply for unknown message %1 was dropped.").arg(reply.messageId),
            kLibraryName, kBusSource, std::nullopt, 1);
        return;
    }
    // A late reply, after its time-out, is still delivered. The clock stops only once every
    // request sent under this identifier has its reply.
    if (it->second.late > 0)
        --it->second.late;
    else if (it->second.unanswered > 0 && --it->second.unanswered == 0)
        it->second.timer->stop();

    ReplyStore& store = ReplyStore::Instance();
    // The announced reply is held here, not only in the store: a handler that pumps events
    // may let a newer reply replace or evict it while its own announcement is still running,
    // and a nested announcement must hand the outer one back when it ends.
    const auto announced = std::make_shared<const MessageData>(std::move(reply));
    store.put(announced);
    const MessageData* outer = store.announcing();
    store.setAnnouncing(announced.get());
    const QString recipient = announced->replyTo;
    // A failure must not unwind into the event loop; the listener's handlers trap their own.
    if (const auto failure = attempt([&] { emit KelbListener::Instance()->DataReady(recipient); }))
        ErrorLogger::Instance().LogError(failure->description(), kLibraryName, kBusSource,
                                         std::nullopt, 1);
    store.setAnnouncing(outer);
}

} // namespace zavek
