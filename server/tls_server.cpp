#include "server/tls_server.h"

#include "server/server_requests.h"

#include <QSslSocket>
#include <QTimer>

namespace zavek::server {

TlsServer::TlsServer(ServerRequests& requests, ListenSettings settings, Log log)
    : requests_(requests), settings_(std::move(settings)), log_(std::move(log)) {
    server_.setSslConfiguration(settings_.tls);
    server_.setHandshakeTimeout(settings_.frameTimeoutMs);
    connect(&server_, &QSslServer::pendingConnectionAvailable, this, &TlsServer::accept);
    connect(&server_, &QSslServer::errorOccurred, this,
            [this](QSslSocket* socket, QAbstractSocket::SocketError) {
                log_(QStringLiteral("%1: connection failed: %2")
                         .arg(socket->peerAddress().toString(), socket->errorString()));
            });
    connect(&server_, &QSslServer::sslErrors, this,
            [this](QSslSocket* socket, const QList<QSslError>& errors) {
                log_(QStringLiteral("%1: TLS refused: %2")
                         .arg(socket->peerAddress().toString(),
                              errors.isEmpty() ? QString() : errors.first().errorString()));
            });
}

TlsServer::~TlsServer() {
    for (auto& [socket, client] : clients_)
        socket->disconnect(this);
}

bool TlsServer::listen(QString* why) {
    if (server_.listen(settings_.address, settings_.port))
        return true;
    if (why)
        *why = server_.errorString();
    return false;
}

void TlsServer::accept() {
    while (server_.hasPendingConnections()) {
        auto* socket = qobject_cast<QSslSocket*>(server_.nextPendingConnection());
        if (!socket)
            continue;
        Client& client = clients_[socket];
        client.peer =
            QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        client.stall = new QTimer(socket);
        client.stall->setSingleShot(true);
        connect(client.stall, &QTimer::timeout, this, [this, socket] {
            drop(socket, QStringLiteral("dropped: a message was left unfinished for %1 ms")
                             .arg(settings_.frameTimeoutMs));
        });
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QSslSocket::disconnected, this, [this, socket] {
            clients_.erase(socket);
            socket->deleteLater();
        });
        readFrom(socket);
    }
}

void TlsServer::readFrom(QSslSocket* socket) {
    const auto it = clients_.find(socket);
    if (it == clients_.end())
        return;
    Client& client = it->second;
    client.reader.append(socket->readAll());
    for (;;) {
        QByteArray message;
        const auto next = client.reader.next(message);
        if (next == net::FrameReader::Next::TooLarge) {
            drop(socket, QStringLiteral("dropped: a message over the size limit was announced"));
            return;
        }
        if (next == net::FrameReader::Next::NeedMore)
            break;
        const QByteArray reply = requests_.handle(message, client.peer);
        if (reply.isEmpty()) {
            drop(socket, QStringLiteral("dropped after an unreadable message"));
            return;
        }
        socket->write(net::frame(reply));
    }
    // The clock runs from the first byte of a message to its last.
    if (!client.reader.midMessage())
        client.stall->stop();
    else if (!client.stall->isActive())
        client.stall->start(settings_.frameTimeoutMs);
}

void TlsServer::drop(QSslSocket* socket, const QString& why) {
    const auto it = clients_.find(socket);
    if (it == clients_.end())
        return;
    log_(QStringLiteral("%1: %2").arg(it->second.peer, why));
    it->second.reader.clear();
    it->second.stall->stop();
    socket->abort();
}

void TlsServer::finish() {
    server_.close();
    for (auto& [socket, client] : clients_) {
        socket->flush();
        if (socket->bytesToWrite() > 0)
            socket->waitForBytesWritten(2000);
        socket->disconnectFromHost();
    }
}

} // namespace zavek::server
