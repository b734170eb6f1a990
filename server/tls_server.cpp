#include "server/tls_server.h"

#include "server/server_requests.h"

#include <QDeadlineTimer>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

#include <vector>

#include <cstdio>

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
        if (settings_.holdMs > 0) {
            std::printf("holding a request for %d ms\n", settings_.holdMs);
            std::fflush(stdout);
            QThread::msleep(static_cast<unsigned long>(settings_.holdMs));
        }
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

void TlsServer::finish(int waitMs) {
    server_.close();
    const QDeadlineTimer deadline(waitMs);
    // A socket's disconnected signal erases it from the map, so the map is not walked itself.
    std::vector<QSslSocket*> sockets;
    for (auto& [socket, client] : clients_) {
        client.stall->stop();
        sockets.push_back(socket);
    }
    // A reply is written in two stages, plain text into the TLS layer and then its records to
    // the network; both must have left before the close, or the client never sees its answer.
    const auto unsent = [](QSslSocket* socket) {
        return socket->bytesToWrite() > 0 || socket->encryptedBytesToWrite() > 0;
    };
    for (QSslSocket* socket : sockets) {
        socket->flush();
        while (unsent(socket) && !deadline.hasExpired() &&
               socket->waitForBytesWritten(static_cast<int>(deadline.remainingTime()))) {
        }
    }
    for (QSslSocket* socket : sockets) {
        if (const auto it = clients_.find(socket); it != clients_.end() && unsent(socket))
            log_(QStringLiteral("%1: closed with a reply not taken within %2 ms")
                     .arg(it->second.peer)
                     .arg(waitMs));
        socket->disconnectFromHost();
    }
    for (QSslSocket* socket : sockets)
        if (socket->state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired())
            socket->waitForDisconnected(static_cast<int>(deadline.remainingTime()));
}

} // namespace zavek::server
