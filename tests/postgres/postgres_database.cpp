#include "tests/postgres/postgres_database.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

namespace zavek::testing {

QString onPostgresServer(const QString& statement) {
    const QUrl url(postgresServerUrl());
    const QString connection =
        QStringLiteral("pg-admin-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setDatabaseName(url.path().mid(1));
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            if (!query.exec(statement))
                error = query.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return error;
}

QString postgresServerUrl() {
    return qEnvironmentVariable("ZAVEK_TEST_POSTGRES");
}

PostgresDatabase::PostgresDatabase() {
    if (postgresServerUrl().isEmpty())
        return;
    // A name of our own making, so it can be written into the statement.
    name_ = QStringLiteral("zt_") + QUuid::createUuid().toString(QUuid::Id128).left(20);
    error_ = onPostgresServer(QStringLiteral("CREATE DATABASE %1").arg(name_));
    if (!error_.isEmpty()) {
        error_ = QStringLiteral("cannot create a test database: ") + error_;
        return;
    }
    QUrl url(postgresServerUrl());
    url.setPath(u'/' + name_);
    url_ = url.toString();
}

PostgresDatabase::~PostgresDatabase() {
    if (!url_.isEmpty())
        onPostgresServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
}

} // namespace zavek::testing
