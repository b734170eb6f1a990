// zavek_load: 16 sessions each making 200 saves of random changes to a shared pool of 50
// officers, on SQLite and (when a server is given) PostgreSQL; prints the figures side by side
// and fails when the stored memberships do not match the audit log.
//
//   zavek_load [--postgres URL] [--sessions N] [--saves N] [--officers N] [--time-limit S]
//
// URL names any database on the server (ZAVEK_TEST_POSTGRES by default); the load runs in a
// database of its own that is created and dropped here. Loopback servers only.

#include "bench/load/load_figures.h"
#include "bench/load/load_run.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>
#include <QUuid>

#include <cstdio>
#include <exception>
#include <optional>

namespace {

bool isLoopback(const QString& host) {
    return host == u"127.0.0.1" || host == u"localhost" || host == u"::1";
}

QString onServer(const QUrl& server, const QString& statement) {
    const QString name = QStringLiteral("load-admin");
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(server.host());
        db.setPort(server.port(5432));
        db.setUserName(server.userName());
        db.setPassword(server.password());
        db.setDatabaseName(server.path().mid(1));
        if (!db.open())
            error = db.lastError().text();
        else if (QSqlQuery q(db); !q.exec(statement))
            error = q.lastError().text();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

void print(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
}

// The PostgreSQL driver warns each time a conflict aborts a transaction that still has
// statements prepared; those are expected here and counted as retries instead.
void quietDriver(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && (message.startsWith(QLatin1String("Unable to free statement")) ||
                                 message.contains(QLatin1String("no transaction in progress"))))
        return;
    std::fputs(qFormatLogMessage(type, context, message).toLocal8Bit().constData(), stderr);
    std::fputc('\n', stderr);
}

} // namespace

// One zavek-server on a fresh database of the PostgreSQL server, with a throwaway
// certificate; nothing when the server cannot be started (said on standard error).
std::optional<zavek::load::Figures> serverRun(const QUrl& postgres,
                                              zavek::load::LoadOptions options) {
    QTemporaryDir dir;
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                   dir.filePath("key.pem"), "-out", dir.filePath("cert.pem")});
    if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0) {
        std::fprintf(stderr, "zavek-server run skipped: openssl could not make a certificate.\n");
        return std::nullopt;
    }
    const QString database =
        QStringLiteral("zavek_load_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!onServer(postgres, QStringLiteral("CREATE DATABASE %1").arg(database)).isEmpty())
        return std::nullopt;
    QUrl target = postgres;
    target.setPath(u'/' + database);
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(QCoreApplication::applicationDirPath() + QStringLiteral("/zavek-server"),
                 {"--listen", "127.0.0.1:0", "--cert", dir.filePath("cert.pem"), "--key",
                  dir.filePath("key.pem"), "--database", target.toString()});
    std::optional<zavek::load::Figures> figures;
    if (server.waitForStarted(10000) && server.waitForReadyRead(30000)) {
        const QString line = QString::fromUtf8(server.readLine()).trimmed();
        options.serverPort = static_cast<quint16>(line.section(u':', -1).toUInt());
        options.caFile = dir.filePath("cert.pem");
        try {
            figures = zavek::load::runLoad(QStringLiteral("PostgreSQL via zavek-server"),
                                           target.toString(), options);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "zavek-server run failed: %s\n", e.what());
        }
    } else {
        std::fprintf(stderr, "zavek-server run skipped: the server did not start.\n");
    }
    server.terminate();
    server.waitForFinished(10000);
    onServer(postgres, QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
    return figures;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qInstallMessageHandler(quietDriver);
    // The server's notices about rolling back a transaction a conflict already ended are
    // expected here too.
    qputenv("PGOPTIONS", "-c client_min_messages=error");
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Concurrent saves against SQLite and PostgreSQL."));
    parser.addHelpOption();
    const QCommandLineOption postgres(QStringLiteral("postgres"), QStringLiteral("server URL"),
                                      QStringLiteral("URL"),
                                      qEnvironmentVariable("ZAVEK_TEST_POSTGRES"));
    const QCommandLineOption sessions(QStringLiteral("sessions"), QStringLiteral("sessions"),
                                      QStringLiteral("N"), QStringLiteral("16"));
    const QCommandLineOption saves(QStringLiteral("saves"), QStringLiteral("saves per session"),
                                   QStringLiteral("N"), QStringLiteral("200"));
    const QCommandLineOption officers(QStringLiteral("officers"), QStringLiteral("officer pool"),
                                      QStringLiteral("N"), QStringLiteral("50"));
    const QCommandLineOption limit(QStringLiteral("time-limit"),
                                   QStringLiteral("seconds per database"), QStringLiteral("S"),
                                   QStringLiteral("120"));
    parser.addOptions({postgres, sessions, saves, officers, limit});
    parser.process(app);

    zavek::load::LoadOptions options;
    options.sessions = std::clamp(parser.value(sessions).toInt(), 1, 64);
    options.savesPerSession = std::clamp(parser.value(saves).toInt(), 1, 10000);
    options.officers = std::clamp(parser.value(officers).toInt(), 1, 1000);
    options.timeLimitSeconds = std::clamp(parser.value(limit).toInt(), 1, 1800);

    std::vector<zavek::load::Figures> runs;
    int status = 0;
    try {
        QTemporaryDir dir;
        runs.push_back(zavek::load::runLoad(QStringLiteral("SQLite"),
                                            dir.filePath(QStringLiteral("load.sqlite")), options));
        const QString serverText = parser.value(postgres);
        if (serverText.isEmpty()) {
            print(QStringLiteral("PostgreSQL: skipped (give --postgres URL or set "
                                 "ZAVEK_TEST_POSTGRES; scripts/with-postgres.sh does)\n"));
        } else {
            QUrl server(serverText);
            if (!isLoopback(server.host())) {
                std::fprintf(stderr, "zavek_load runs only against a server on this machine.\n");
                return 2;
            }
            const QString database =
                QStringLiteral("zavek_load_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
            if (const QString error =
                    onServer(server, QStringLiteral("CREATE DATABASE %1").arg(database));
                !error.isEmpty()) {
                std::fprintf(stderr, "Cannot create the load database: %s\n",
                             error.toUtf8().constData());
                return 1;
            }
            QUrl target = server;
            target.setPath(u'/' + database);
            std::optional<std::exception_ptr> failure;
            try {
                runs.push_back(
                    zavek::load::runLoad(QStringLiteral("PostgreSQL"), target.toString(), options));
            } catch (...) {
                failure = std::current_exception();
            }
            onServer(server,
                     QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
            if (failure)
                std::rethrow_exception(*failure);
            // The same load again, every session on its own connection to one zavek-server.
            if (const auto served = serverRun(server, options))
                runs.push_back(*served);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "The load test failed: %s\n", e.what());
        status = 1;
    }
    print(QStringLiteral("%1 sessions x %2 saves on %3 officers\n")
              .arg(options.sessions)
              .arg(options.savesPerSession)
              .arg(options.officers));
    print(zavek::load::formatFigures(runs));
    for (const auto& r : runs)
        if (!r.verification.isEmpty())
            status = 1;
    return status;
}
