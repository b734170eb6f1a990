#pragma once
// The shell's side of zavek-server: requests go out over one TLS connection, trusted only
// against the given certificate authority; the connection comes back by itself after a loss.

#include "common/transport.h"

#include <QCoreApplication>
#include <QString>
#include <QThread>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

namespace zavek::net {

class Link;

struct ServerAddress {
    QString host;
    quint16 port = 0;
    QString caFile;         // PEM; the only authority the server's certificate is checked against
    int reconnectMs = 1000; // how long to wait before trying again after a loss
};

// "host:port" read into address; false with the reason when it is not one.
bool parseServerAddress(const QString& text, ServerAddress& address, QString* why);

class NetworkTransport final : public ITransport {
    Q_DECLARE_TR_FUNCTIONS(zavek::net::NetworkTransport)

public:
    // Fails when the certificate authority file cannot be read.
    explicit NetworkTransport(ServerAddress address);
    ~NetworkTransport() override;

    // While the connection is down, a request is not sent: the send fails and says so.
    void send(const QByteArray& request) override;
    void setReplySink(std::function<void(const QByteArray&)> sink) override;
    QByteArray call(const QByteArray& request, int timeoutMs) override;

    // Told of every change of the connection, with a sentence for the status line; called from
    // the transport's own thread.
    void setStateSink(std::function<void(bool connected, const QString& text)> sink);
    // Waits up to ms for the connection; false with the reason (a refused certificate says so).
    bool waitConnected(int ms, QString* why);
    QString describe() const;

private:
    friend class Link;
    // Hands the request to the link's thread, connected or not.
    void post(const QByteArray& request);
    void linkUp();
    void linkDown(const QString& why);
    void received(const QByteArray& reply);

    ServerAddress address_;
    QThread thread_;
    Link* link_ = nullptr;
    ReplySink replies_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void(bool, const QString&)> stateSink_;
    bool connected_ = false;
    bool everConnected_ = false;
    QString problem_;
    struct Waiter {
        QString messageId;
        std::optional<QByteArray> reply;
        bool lost = false;
    };
    std::optional<Waiter> waiter_;
};

} // namespace zavek::net
