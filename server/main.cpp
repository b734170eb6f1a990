// zavek-server: the back end behind a TLS socket, the only process that holds the database's
// credentials.

#include "backend/database.h"
#include "backend/schema.h"
#include "common/failure.h"
#include "server/server_requests.h"
#include "server/tls_server.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslKey>

#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace zavek;

namespace {

int gSignalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(gSignalPipe[1], &byte, 1);
}

QString usage() {
    return QCoreApplication::translate(
        "zavek::server::Startup",
        "usage: zavek-server --listen HOST:PORT --cert FILE --key FILE [--database LOCATION]\n"
        "                    [--frame-timeout-ms N]\n"
        "  --listen HOST:PORT    the address to take connections on (port 0: any free port)\n"
        "  --cert FILE           the server's certificate (PEM)\n"
        "  --key FILE            its private key (PEM, unencrypted)\n"
        "  --database LOCATION   an SQLite file, or postgresql://user@host:port/dbname\n"
        "                        (default: $ZAVEK_DATABASE)\n"
        "  --frame-timeout-ms N  a client that leaves a message unfinished this long is dropped\n"
        "                        (default 10000)\n");
}

void logLine(const QString& line) {
    std::fprintf(stderr, "%s %s\n",
                 qPrintable(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)),
                 qPrintable(line));
    std::fflush(stderr);
}

struct Options {
    QString host;
    quint16 port = 0;
    QString cert;
    QString key;
    QString database;
    int frameTimeoutMs = 10000;
    QString error;
};

Options parse(const QStringList& arguments) {
    Options o;
    o.database = qEnvironmentVariable("ZAVEK_DATABASE");
    QString listen;
    for (int i = 1; i < arguments.size() && o.error.isEmpty(); ++i) {
        const QString& a = arguments[i];
        auto value = [&]() -> QString {
            if (i + 1 >= arguments.size()) {
                o.error = QCoreApplication::translate("zavek::server::Startup", "%1 needs a value.")
                              .arg(a);
                return {};
            }
            return arguments[++i];
        };
        if (a == QLatin1String("--listen"))
            listen = value();
        else if (a == QLatin1String("--cert"))
            o.cert = value();
        else if (a == QLatin1String("--key"))
            o.key = value();
        else if (a == QLatin1String("--database"))
            o.database = value();
        else if (a == QLatin1String("--frame-timeout-ms")) {
            bool ok = false;
            o.frameTimeoutMs = value().toInt(&ok);
            if (!ok || o.frameTimeoutMs <= 0)
                o.error = QCoreApplication::translate(
                    "zavek::server::Startup", "--frame-timeout-ms needs a positive number.");
        } else
            o.error =
                QCoreApplication::translate("zavek::server::Startup", "Unknown option %1.").arg(a);
    }
    if (!o.error.isEmpty())
        return o;
    const qsizetype colon = listen.lastIndexOf(u':');
    bool portOk = false;
    const uint port = colon > 0 ? listen.mid(colon + 1).toUInt(&portOk) : 0;
    if (colon <= 0 || !portOk || port > 65535)
        o.error = QCoreApplication::translate(
            "zavek::server::Startup", "--listen needs HOST:PORT, for example 0.0.0.0:7460.");
    else if (o.cert.isEmpty() || o.key.isEmpty())
        o.error = QCoreApplication::translate("zavek::server::Startup",
                                              "--cert and --key are both needed.");
    else if (o.database.isEmpty())
        o.error = QCoreApplication::translate("zavek::server::Startup",
                                              "--database (or ZAVEK_DATABASE) is needed.");
    o.host = listen.left(colon);
    o.port = static_cast<quint16>(port);
    return o;
}

QByteArray readFile(const QString& path, const char* what) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(codes::kInvalidArgument,
             QCoreApplication::translate("zavek::server::Startup", "Cannot read the %1 %2: %3.")
                 .arg(QCoreApplication::translate("zavek::server::Startup", what), path,
                      file.errorString()));
    return file.readAll();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Options options = parse(QCoreApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n%s", qPrintable(options.error), qPrintable(usage()));
        return 2;
    }

    server::ListenSettings settings;
    settings.address = options.host == QLatin1String("localhost")
                           ? QHostAddress(QHostAddress::LocalHost)
                           : QHostAddress(options.host);
    settings.port = options.port;
    settings.frameTimeoutMs = options.frameTimeoutMs;
    if (qEnvironmentVariableIsSet("ZAVEK_SERVER_HOLD_MS"))
        settings.holdMs = qEnvironmentVariableIntValue("ZAVEK_SERVER_HOLD_MS");
    const QString connection = QStringLiteral("zavek-server");
    if (const auto failure = attempt([&] {
            if (settings.address.isNull())
                fail(codes::kInvalidArgument,
                     QCoreApplication::translate("zavek::server::Startup",
                                                 "%1 is not an IP address to listen on.")
                         .arg(options.host));
            const QSslCertificate cert(
                readFile(options.cert, QT_TRANSLATE_NOOP("zavek::server::Startup", "certificate")),
                QSsl::Pem);
            if (cert.isNull())
                fail(codes::kInvalidArgument,
                     QCoreApplication::translate("zavek::server::Startup",
                                                 "%1 holds no PEM certificate.")
                         .arg(options.cert));
            const QByteArray keyBytes =
                readFile(options.key, QT_TRANSLATE_NOOP("zavek::server::Startup", "key"));
            QSslKey key(keyBytes, QSsl::Rsa, QSsl::Pem);
            if (key.isNull())
                key = QSslKey(keyBytes, QSsl::Ec, QSsl::Pem);
            if (key.isNull())
                fail(codes::kInvalidArgument,
                     QCoreApplication::translate("zavek::server::Startup",
                                                 "%1 holds no unencrypted PEM key.")
                         .arg(options.key));
            settings.tls = QSslConfiguration::defaultConfiguration();
            settings.tls.setLocalCertificate(cert);
            settings.tls.setPrivateKey(key);
            settings.tls.setPeerVerifyMode(QSslSocket::VerifyNone);
            QSqlDatabase db = backend::openDatabase(options.database, connection);
            backend::migrate(db);
        })) {
        std::fprintf(stderr, "%s\n", qPrintable(failure->description()));
        return 1;
    }

    int status = 0;
    {
        server::ServerRequests requests(connection, logLine);
        server::TlsServer server(requests, settings, logLine);
        QString why;
        if (!server.listen(&why)) {
            std::fprintf(stderr, "%s\n",
                         qPrintable(QCoreApplication::translate("zavek::server::Startup",
                                                                "Cannot listen on %1:%2: %3")
                                        .arg(options.host, QString::number(options.port), why)));
            return 1;
        }
        // SIGTERM is read from the event loop, so the request being handled finishes first.
        if (::pipe(gSignalPipe) != 0) {
            std::perror("pipe");
            return 1;
        }
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
        std::signal(SIGPIPE, SIG_IGN);
        QSocketNotifier notifier(gSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(&notifier, &QSocketNotifier::activated, &app, [&] {
            char byte = 0;
            [[maybe_unused]] const auto got = ::read(gSignalPipe[0], &byte, 1);
            logLine(QStringLiteral("stopping"));
            QCoreApplication::quit();
        });
        std::printf("zavek-server listening on %s:%u\n", qPrintable(options.host), server.port());
        std::fflush(stdout);
        status = QCoreApplication::exec();
        server.finish();
    }
    backend::closeDatabase(connection);
    return status;
}
