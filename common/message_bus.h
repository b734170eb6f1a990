#pragma once
// The message layer of one user-interface thread: hands requests to the transport, brings
// replies back to this thread, keeps them in the reply store and announces them through the
// shared listener; raises a time-out for every request left unanswered too long.

#include "common/message.h"
#include "common/record_table.h"
#include "common/transport.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QVariant>

#include <list>
#include <memory>
#include <unordered_map>

namespace zavek {

// The one shared listener of a thread. Every reply and every time-out is announced, whoever
// it is for.
class KelbListener : public QObject {
    Q_OBJECT
public:
    static KelbListener* Instance();
    static void Instance(KelbListener*& out) { out = Instance(); }

signals:
    void DataReady(const QString& recipient);
    void MsgTimeout(const QVariant& messageId);
};

// Replies by (recipient, message identifier). A newer reply under the same key replaces the
// older one; only the most recent kLimit replies are kept.
class ReplyStore {
public:
    static ReplyStore& Instance();
    static constexpr std::size_t kLimit = 256;

    // The named table of the stored reply, or nothing when there is no such reply or table.
    std::unique_ptr<RecordTable> GetTable(const QString& name, const QString& recipient,
                                          const QString& messageId) const;

    void put(const MessageData& reply);
    // Keeps the reply itself, without a copy; the bus shares it with the announcement.
    void put(std::shared_ptr<const MessageData> reply);
    const MessageData* find(const QString& recipient, const QString& messageId) const;
    std::size_t size() const { return index_.size(); }
    void clear();

    // The reply being announced right now, for the checker.
    const MessageData* announcing() const { return announcing_; }
    void setAnnouncing(const MessageData* reply) { announcing_ = reply; }

private:
    using Key = std::pair<QString, QString>;
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            return qHash(k.first) ^ (qHash(k.second) << 1);
        }
    };
    std::list<std::pair<Key, std::shared_ptr<const MessageData>>> order_; // oldest first
    std::unordered_map<Key, decltype(order_)::iterator, KeyHash> index_;
    const MessageData* announcing_ = nullptr;
};

class ReplyChecker {
public:
    static ReplyChecker& Instance();
    // The error text of the reply, empty for none. While a reply is being announced to this
    // recipient, that reply is the one reported on: a recipient may have several requests
    // outstanding under different identifiers, and an error in any of them must reach it.
    QString GetReplyError(QString recipient, QString source, QString messageId) const;
};

class MessageBus : public QObject {
    Q_OBJECT
public:
    static MessageBus& Instance();
    MessageBus();
    ~MessageBus() override;

    void setTransport(std::shared_ptr<ITransport> transport);
    std::shared_ptr<ITransport> transport() const { return transport_; }
    // How long a request may go unanswered before MsgTimeout is raised (default 30 s).
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    int timeoutMs() const { return timeoutMs_; }

    void send(const MessageData& request);
    std::size_t outstanding() const;

private:
    struct Pending {
        QString recipient;
        std::unique_ptr<QTimer> timer;
        // Sends under this identifier still waiting for their reply: a save reuses its
        // retrieval's identifier, so two requests may be outstanding under one.
        int unanswered = 0;
        // Sends that timed out and may still be answered late; answers come in the order the
        // requests were sent, so a late one never stops the clock of a newer send.
        int late = 0;
    };
    void receive(const QByteArray& bytes);
    void timedOut(const QString& messageId);
    void forgetOldest();

    std::shared_ptr<ITransport> transport_;
    int timeoutMs_ = 30000;
    std::unordered_map<QString, Pending> pending_;
    std::list<QString> pendingOrder_;
    // Shared with the transport's sink so that a reply arriving after the bus is gone is
    // dropped rather than delivered to a dead object.
    std::shared_ptr<QPointer<MessageBus>> self_;
};

} // namespace zavek
