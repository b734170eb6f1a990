#include "server/network_transport.h"

#include "common/codec.h"
#include "common/failure.h"
#include "server/frame.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

#include <chrono>

namespace zavek::net {

bool parseServerAddress(const QString& text, ServerAddress& address, QString* why) {
    const qsizetype colon = text.lastIndexOf(u':');
    bool ok = false;
    const uint port = colon > 0 ? text.mid(colon + 1).toUInt(&ok) : 0;
    if (colon <= 0 || !ok || port == 0 || port > 65535) {
        if (why)
            *why = QCoreApplication::translate(
                       "zavek::net::NetworkTransport",
                       "The server address \"%1\" is not HOST:PORT, for example "
                       "zavek.example.org:7460.")
                       .arg(text);
        return false;
    }
    address.host = text.left(colon);
    address.port = static_cast<quint16>(port);
    return true;
}

// Lives on the transport's thread and owns the socket there.
class Link : public QObject {
public:
    Link(NetworkTransport& owner, QSslConfiguration tls) : owner_(owner), tls_(std::move(tls)) {}

    void start() {
        socket_ = new QSslSocket(this);
        socket_->setSslConfiguration(tls_);
        retry_ = new QTimer(this);
        retry_->setSingleShot(true);
        connect(retry_, &QTimer::timeout, this, &Link::open);
        connect(socket_, &QSslSocket::encrypted, this, [this] {
            reader_.clear();
            owner_.linkUp();
        });
        connect(socket_, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
            certificateProblem_ =
                NetworkTransport::tr(
                    "The server %1 presented a certificate that %2 does not vouch for "
                    "(%3), so the shell did not connect. Check --ca, or ask the "
                    "operator for the server's certificate authority.")
                    .arg(owner_.describe(),
                         owner_.address_.caFile.isEmpty()
                             ? NetworkTransport::tr("none of the system's certificate authorities")
                             : owner_.address_.caFile,
                         errors.isEmpty() ? NetworkTransport::tr("no reason given")
                                          : errors.first().errorString());
        });
        connect(socket_, &QSslSocket::readyRead, this, &Link::read);
        connect(socket_, &QSslSocket::disconnected, this, &Link::lost);
        connect(socket_, &QSslSocket::errorOccurred, this, [this] {
            if (socket_->state() != QAbstractSocket::ConnectedState)
                lost();
        });
        open();
    }

    void write(const QByteArray& request) {
        if (socket_ && socket_->isEncrypted())
            socket_->write(frame(request));
    }

    void stop() {
        if (retry_)
            retry_->stop();
        if (socket_) {
            socket_->disconnect(this);
            socket_->abort();
        }
    }

private:
    void open() {
        certificateProblem_.clear();
        socket_->connectToHostEncrypted(owner_.address_.host, owner_.address_.port);
    }

    void read() {
        reader_.append(socket_->readAll());
        for (;;) {
            QByteArray reply;
            const auto next = reader_.next(reply);
            if (next == FrameReader::Next::NeedMore)
                return;
            if (next == FrameReader::Next::TooLarge) {
                socket_->abort();
                return;
            }
            owner_.received(reply);
        }
    }

    void lost() {
        if (retry_->isActive())
            return;
        const QString why =
            !certificateProblem_.isEmpty() ? certificateProblem_ : socket_->errorString();
        socket_->abort();
        reader_.clear();
        owner_.linkDown(why);
        retry_->start(owner_.address_.reconnectMs);
    }

    NetworkTransport& owner_;
    QSslConfiguration tls_;
    QSslSocket* socket_ = nullptr;
    QTimer* retry_ = nullptr;
    FrameReader reader_;
    QString certificateProblem_;
};

NetworkTransport::NetworkTransport(ServerAddress address) : address_(std::move(address)) {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    if (!address_.caFile.isEmpty()) {
        QFile file(address_.caFile);
        if (!file.open(QIODevice::ReadOnly))
            fail(codes::kInvalidArgument, tr("Cannot read the certificate authority file %1: %2.")
                                              .arg(address_.caFile, file.errorString()));
        const QList<QSslCertificate> authorities =
            QSslCertificate::fromData(file.readAll(), QSsl::Pem);
        if (authorities.isEmpty())
            fail(codes::kInvalidArgument,
                 tr("%1 holds no PEM certificate to trust the server by.").arg(address_.caFile));
        tls.setCaCertificates(authorities);
    }
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    link_ = new Link(*this, tls);
    thread_.setObjectName(QStringLiteral("zavek-network"));
    link_->moveToThread(&thread_);
    thread_.start();
    QMetaObject::invokeMethod(
        link_, [link = link_] { link->start(); }, Qt::QueuedConnection);
}

NetworkTransport::~NetworkTransport() {
    {
        std::lock_guard lock(mutex_);
        stateSink_ = nullptr;
    }
    stopTransportThread(replies_, thread_, link_, [link = link_] {
        link->stop();
        delete link;
    });
}

QString NetworkTransport::describe() const {
    return QStringLiteral("%1:%2").arg(address_.host).arg(address_.port);
}

void NetworkTransport::send(const QByteArray& request) {
    {
        std::lock_guard lock(mutex_);
        if (!connected_)
            fail(codes::kNotConnected,
                 tr("There is no connection to the server %1 (%2), so nothing was "
                    "sent. Wait until the status line says the server is connected "
                    "again, then try again.")
                     .arg(describe(), problem_.isEmpty() ? tr("connecting") : problem_));
    }
    post(request);
}

void NetworkTransport::post(const QByteArray& request) {
    QMetaObject::invokeMethod(
        link_, [link = link_, request] { link->write(request); }, Qt::QueuedConnection);
}

void NetworkTransport::setReplySink(std::function<void(const QByteArray&)> sink) {
    replies_.set(std::move(sink));
}

void NetworkTransport::setStateSink(std::function<void(bool, const QString&)> sink) {
    std::lock_guard lock(mutex_);
    stateSink_ = std::move(sink);
}

QByteArray NetworkTransport::call(const QByteArray& request, int timeoutMs) {
    const MessageData decoded = decodeMessage(request);
    std::unique_lock lock(mutex_);
    if (!connected_)
        fail(codes::kNotConnected,
             tr("The shell is not connected to the server %1 (%2); wait for it to "
                "reconnect and try again.")
                 .arg(describe(), problem_.isEmpty() ? tr("connecting") : problem_));
    waiter_ = Waiter{decoded.messageId, std::nullopt, false};
    post(request);
    const bool answered = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return waiter_->reply.has_value() || waiter_->lost;
    });
    Waiter waiter = std::move(*waiter_);
    waiter_.reset();
    if (answered && waiter.reply)
        return *waiter.reply;
    if (waiter.lost)
        fail(codes::kNotConnected,
             tr("The connection to the server %1 was lost before it answered; try "
                "again once it is back.")
                 .arg(describe()));
    fail(codes::kNotConnected, tr("The server %1 did not answer within %2 ms; try "
                                  "again, and if it keeps failing tell your system "
                                  "administrator.")
                                   .arg(describe())
                                   .arg(timeoutMs));
}

bool NetworkTransport::waitConnected(int ms, QString* why) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(ms),
                      [&] { return connected_ || !problem_.isEmpty(); });
    if (!connected_ && why)
        *why = problem_.isEmpty()
                   ? tr("The server %1 did not answer within %2 ms.").arg(describe()).arg(ms)
                   : tr("Cannot connect to the server %1: %2").arg(describe(), problem_);
    return connected_;
}

void NetworkTransport::linkUp() {
    std::function<void(bool, const QString&)> sink;
    QString text;
    {
        std::lock_guard lock(mutex_);
        connected_ = true;
        problem_.clear();
        text = everConnected_ ? tr("Connected to the server %1 again.").arg(describe())
                              : tr("Connected to the server %1.").arg(describe());
        everConnected_ = true;
        sink = stateSink_;
    }
    changed_.notify_all();
    if (sink)
        sink(true, text);
}

void NetworkTransport::linkDown(const QString& why) {
    std::function<void(bool, const QString&)> sink;
    {
        std::lock_guard lock(mutex_);
        // Said once when the connection goes, not again for every attempt that fails.
        const bool wasConnected = connected_;
        connected_ = false;
        problem_ = why.isEmpty() ? tr("no reason given") : why;
        if (waiter_)
            waiter_->lost = true;
        if (wasConnected)
            sink = stateSink_;
    }
    changed_.notify_all();
    if (sink)
        sink(false, tr("No connection to the server %1 (%2); reconnecting. Nothing is "
                       "sent meanwhile; save again once it is back.")
                        .arg(describe(), why));
}

void NetworkTransport::received(const QByteArray& reply) {
    {
        std::lock_guard lock(mutex_);
        if (waiter_ && !waiter_->reply) {
            MessageData decoded;
            if (!attempt([&] { decoded = decodeMessage(reply); }) &&
                decoded.messageId == waiter_->messageId) {
                waiter_->reply = reply;
                changed_.notify_all();
                return;
            }
        }
    }
    replies_.deliver(reply);
}

} // namespace zavek::net
