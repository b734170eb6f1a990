#include "backend/database.h"

#include "common/failure.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

namespace zavek::backend {

namespace {
constexpr int kRetries = 5;

void exec(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql))
        fail(codes::kDatabase, QStringLiteral("%1 failed: %2").arg(sql, q.lastError().text()));
}

bool isRetryable(const Failure& f) {
    const QString& d = f.description();
    return d.contains(QLatin1String("40001")) || d.contains(QLatin1String("40P01")) ||
           d.contains(QLatin1String("could not serialize"), Qt::CaseInsensitive) ||
           d.contains(QLatin1String("deadlock"), Qt::CaseInsensitive) ||
           d.contains(QLatin1String("database is locked"), Qt::CaseInsensitive);
}

QSqlDatabase openPostgres(const QString& location, const QString& name) {
    const QUrl url(location, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.path().size() < 2)
        fail(codes::kInvalidArgument,
             QStringLiteral("The database URL \"%1\" is not valid; write it as "
                            "postgresql://user@host:port/dbname.")
                 .arg(location));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        fail(codes::kNotConnected, QStringLiteral("The PostgreSQL driver is not installed; "
                                                  "install the package libqt6sql6-psql."));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(url.host());
    db.setPort(url.port(5432));
    db.setDatabaseName(url.path().mid(1));
    db.setUserName(url.userName());
    db.setPassword(url.password());
    db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    if (!db.open()) {
        const QString error = db.lastError().text();
        QSqlDatabase::removeDatabase(name);
        if (error.contains(QLatin1String("password"), Qt::CaseInsensitive) ||
            error.contains(QLatin1String("authentication"), Qt::CaseInsensitive) ||
            error.contains(QLatin1String("role"), Qt::CaseInsensitive))
            fail(codes::kNotConnected,
                 QStringLiteral("PostgreSQL at %1:%2 refused the user name or password; check "
                                "the credentials in the database URL.")
                     .arg(url.host())
                     .arg(url.port(5432)));
        if (error.contains(QLatin1String("does not exist")))
            fail(codes::kNotConnected,
                 QStringLiteral("The database \"%1\" does not exist on %2; create it or correct "
                                "the URL.")
                     .arg(url.path().mid(1), url.host()));
        fail(codes::kNotConnected,
             QStringLiteral("Cannot reach the PostgreSQL server at %1:%2; check that it runs and "
                            "that the host and port are right (%3).")
                 .arg(url.host())
                 .arg(url.port(5432))
                 .arg(error.simplified()));
    }
    return db;
}

QSqlDatabase openSqlite(const QString& path, const QString& name) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        fail(codes::kNotConnected,
             QStringLiteral("Cannot create the folder %1 for the database; choose a writable "
                            "location with --database.")
                 .arg(info.absolutePath()));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        const QString error = db.lastError().text();
        QSqlDatabase::removeDatabase(name);
        fail(codes::kNotConnected,
             QStringLiteral("Cannot open the database file %1 (%2); check that it is writable.")
                 .arg(path, error));
    }
    exec(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    exec(db, QStringLiteral("PRAGMA foreign_keys=ON"));
    return db;
}
} // namespace

QString defaultDatabaseLocation() {
    const QString env = qEnvironmentVariable("ZAVEK_DATABASE");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/zavek/zavek.sqlite");
}

QSqlDatabase openDatabase(const QString& location, const QString& connectionName) {
    if (location.trimmed().isEmpty())
        fail(codes::kInvalidArgument, QStringLiteral("No database location was given."));
    if (location.startsWith(QLatin1String("postgresql:")) ||
        location.startsWith(QLatin1String("postgres:")))
        return openPostgres(location, connectionName);
    if (location.contains(QLatin1String("://")))
        fail(codes::kInvalidArgument,
             QStringLiteral("The database location \"%1\" is neither a file path nor a "
                            "postgresql:// URL.")
                 .arg(location));
    return openSqlite(location, connectionName);
}

void closeDatabase(const QString& connectionName) {
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

bool isPostgres(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QPSQL");
}

int runInTransaction(QSqlDatabase& db, const std::function<void()>& fn) {
    const bool postgres = isPostgres(db);
    for (int retry = 0;; ++retry) {
        bool begun = false;
        try {
            // SQLite: take the write lock first, so two writers never deadlock on upgrade.
            exec(db, postgres ? QStringLiteral("BEGIN ISOLATION LEVEL SERIALIZABLE")
                              : QStringLiteral("BEGIN IMMEDIATE"));
            begun = true;
            fn();
            exec(db, QStringLiteral("COMMIT"));
            return retry;
        } catch (const Failure& failure) {
            if (begun) {
                QSqlQuery rollback(db);
                rollback.exec(QStringLiteral("ROLLBACK"));
            }
            if (retry + 1 >= kRetries || !isRetryable(failure))
                throw;
        } catch (...) {
            // Whatever the caller threw passes through, after the rollback.
            if (begun) {
                QSqlQuery rollback(db);
                rollback.exec(QStringLiteral("ROLLBACK"));
            }
            throw;
        }
        QThread::msleep(static_cast<unsigned long>(10 * (retry + 1)));
    }
}

} // namespace zavek::backend
