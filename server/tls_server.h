#pragma once
// The listening side: TLS connections, one frame reader each; every reply goes back on the
// connection its request came on.

#include "server/frame.h"

#include <QHostAddress>
#include <QObject>
#include <QSslConfiguration>
#include <QSslServer>

#include <functional>
#include <unordered_map>

class QSslSocket;
class QTimer;

namespace zavek::server {

class ServerRequests;

struct ListenSettings {
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 0;
    QSslConfiguration tls;
    // A message begun must be complete within this time, or the client is dropped.
    int frameTimeoutMs = 10000;
    // For tests only: each request is announced on standard output and held this long before
    // it is answered, so that a stop can be asked for while one is in hand.
    int holdMs = 0;
};

class TlsServer final : public QObject {
    Q_OBJECT
public:
    using Log = std::function<void(const QString& line)>;

    TlsServer(ServerRequests& requests, ListenSettings settings, Log log);
    ~TlsServer() override;
    // False with the reason when the address cannot be listened on.
    bool listen(QString* why);
    quint16 port() const { return server_.serverPort(); }
    std::size_t connections() const { return clients_.size(); }
    // Stops taking connections, delivers every reply already written and closes each
    // connection, waiting up to waitMs in all for clients to take what is theirs.
    void finish(int waitMs = 5000);

private:
    struct Client {
        net::FrameReader reader;
        QTimer* stall = nullptr; // a child of the socket
        QString peer;
    };
    void accept();
    void readFrom(QSslSocket* socket);
    void drop(QSslSocket* socket, const QString& why);

    ServerRequests& requests_;
    ListenSettings settings_;
    Log log_;
    QSslServer server_;
    std::unordered_map<QSslSocket*, Client> clients_;
};

} // namespace zavek::server
