#pragma once
// How serialised requests leave the user-interface thread and replies come back.

#include "common/message.h"

#include <QByteArray>
#include <QObject>

#include <deque>
#include <functional>
#include <mutex>
#include <optional>

class QThread;

namespace zavek {

class ITransport {
public:
    virtual ~ITransport();
    // Takes one serialised request; must return at once. Fails, saying why and what to do,
    // when the request cannot be sent at all (no connection): nothing is then on its way and
    // the caller keeps what it meant to send.
    virtual void send(const QByteArray& request) = 0;
    // Where serialised replies go; the sink may be called from any thread.
    virtual void setReplySink(std::function<void(const QByteArray&)> sink) = 0;
    // Sends one request and waits up to timeoutMs for its reply, for the reads a screen needs
    // before it goes on (sign-in, catalogue, officer search). Only a transport to a server
    // offers it; the others, and a call that is not answered, fail with what went wrong.
    virtual QByteArray call(const QByteArray& request, int timeoutMs);
};

// The reply side of a transport that answers from a thread of its own: the bus sets and clears
// the sink on its thread while replies are handed on from the transport's.
class ReplySink {
public:
    void set(std::function<void(const QByteArray&)> sink);
    // Hands the reply to the sink of the moment, if there is one. Clearing the sink waits for a
    // reply being handed on, so none reaches a sink once it has been cleared.
    void deliver(const QByteArray& reply);

private:
    std::mutex mutex_;
    std::function<void(const QByteArray&)> sink_;
};

// Ends a transport's thread: takes no more replies, runs last on that thread (where the worker
// lives, so that it closes what it opened there) and waits for the thread to end.
void stopTransportThread(ReplySink& replies, QThread& thread, QObject* worker,
                         std::function<void()> last);

// One request to the back end answered before returning, through the bus's transport; for a
// session whose database is behind a server. Fills in the session and a fresh identifier;
// fails with the reply's error text, or with why no reply came.
MessageData callBackEnd(MessageData request);

// An in-process transport whose replies a test scripts: answered at once (on the next pass of
// the event loop), held back to be released later in any order, or dropped.
class LoopbackTransport final : public ITransport {
public:
    using Responder = std::function<std::optional<MessageData>(const MessageData& request)>;

    void send(const QByteArray& request) override;
    void setReplySink(std::function<void(const QByteArray&)> sink) override {
        sink_ = std::move(sink);
    }

    void setResponder(Responder responder) { responder_ = std::move(responder); }
    // While holding, replies wait in held() until released.
    void setHolding(bool holding) { holding_ = holding; }
    std::size_t heldCount() const { return held_.size(); }
    void releaseHeld(std::size_t index);
    void releaseAll();
    void dropHeld() { held_.clear(); }
    // Delivers raw bytes as if they were a reply (for malformed-input tests).
    void deliverRaw(const QByteArray& bytes);

    const std::vector<MessageData>& sent() const { return sent_; }
    void clearSent() { sent_.clear(); }

    // A reply that echoes the request's address and identifier.
    static MessageData replyTo(const MessageData& request, QString errorText = {});

private:
    std::function<void(const QByteArray&)> sink_;
    Responder responder_;
    bool holding_ = false;
    std::deque<QByteArray> held_;
    std::vector<MessageData> sent_;
};

} // namespace zavek
