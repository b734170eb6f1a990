#include "backend/schema.h"

#include "backend/database.h"
#include "common/failure.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace zavek::backend {

namespace {

void exec(QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (!q.exec(sql))
        fail(codes::kDatabase, QStringLiteral("Upgrading the database failed (%1): %2")
                                   .arg(sql.left(60), q.lastError().text()));
}

// Each migration's statements; written to run on SQLite and PostgreSQL alike.
QStringList migration1(bool postgres) {
    const QString autoId = postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                    : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    return {
        QStringLiteral("CREATE TABLE VRD_GROUP (REGION VARCHAR(20) NOT NULL, GRP_TYP_CD VARCHAR(2),"
                       " GRP_CD VARCHAR(20), GRP_DES VARCHAR(200))"),
        QStringLiteral("CREATE INDEX VRD_GROUP_REGION ON VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD)"),
        QStringLiteral("CREATE TABLE OFFICER (INSP_ID VARCHAR(20) PRIMARY KEY,"
                       " OFFICER_NAME VARCHAR(200) NOT NULL, REGION VARCHAR(20) NOT NULL,"
                       " PWD_HASH VARCHAR(255), MUST_CHANGE_PWD INTEGER NOT NULL DEFAULT 0)"),
        QStringLiteral("CREATE INDEX OFFICER_REGION ON OFFICER (REGION, OFFICER_NAME)"),
        QStringLiteral("CREATE TABLE OFFICER_GROUP (INSP_ID VARCHAR(20) NOT NULL"
                       " REFERENCES OFFICER (INSP_ID), GRP_CD VARCHAR(20) NOT NULL,"
                       " PRIMARY KEY (INSP_ID, GRP_CD))"),
        QStringLiteral("CREATE TABLE ADMINISTRATOR (ADMIN_ID VARCHAR(64) PRIMARY KEY,"
                       " ADMIN_NAME VARCHAR(200) NOT NULL, REGION VARCHAR(20) NOT NULL,"
                       " PWD_HASH VARCHAR(255) NOT NULL)"),
        QStringLiteral("CREATE TABLE ADMIN_SESSION (TOKEN VARCHAR(64) PRIMARY KEY,"
                       " ADMIN_ID VARCHAR(64) NOT NULL REFERENCES ADMINISTRATOR (ADMIN_ID),"
                       " REGION VARCHAR(20) NOT NULL, CREATED_AT VARCHAR(32) NOT NULL,"
                       " EXPIRES_AT VARCHAR(32) NOT NULL)"),
        QStringLiteral("CREATE TABLE AUDIT_LOG (AUDIT_ID ") + autoId +
            QStringLiteral(", AUDIT_TIME VARCHAR(32) NOT NULL, ADMIN_ID VARCHAR(64) NOT NULL,"
                           " INSP_ID VARCHAR(20) NOT NULL, GRP_CD VARCHAR(20),"
                           " ACTION VARCHAR(10) NOT NULL, MESSAGE_ID VARCHAR(64))"),
        QStringLiteral("CREATE INDEX AUDIT_LOG_OFFICER ON AUDIT_LOG (INSP_ID, AUDIT_TIME)"),
    };
}

bool hasVersionTable(QSqlDatabase& db) {
    for (const QString& t : db.tables())
        if (t.compare(QLatin1String("SCHEMA_VERSION"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}
} // namespace

int schemaVersion(QSqlDatabase& db) {
    if (!hasVersionTable(db))
        return 0;
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT MAX(VERSION) FROM SCHEMA_VERSION")))
        fail(codes::kDatabase,
             QStringLiteral("Cannot read the database's version: %1").arg(q.lastError().text()));
    return q.next() ? q.value(0).toInt() : 0;
}

int migrate(QSqlDatabase& db) {
    if (!hasVersionTable(db))
        exec(db, QStringLiteral("CREATE TABLE SCHEMA_VERSION (VERSION INTEGER NOT NULL)"));
    int version = schemaVersion(db);
    if (version > kSchemaVersion)
        fail(codes::kDatabase,
             QStringLiteral("The database was created by a newer version of ZAVEK (schema %1, "
                            "this program knows %2); install the newer version.")
                 .arg(version)
                 .arg(kSchemaVersion));
    const bool postgres = isPostgres(db);
    const std::vector<QStringList> migrations{migration1(postgres)};
    for (int next = version + 1; next <= kSchemaVersion; ++next) {
        runInTransaction(db, [&] {
            for (const QString& sql : migrations[static_cast<std::size_t>(next - 1)])
                exec(db, sql);
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO SCHEMA_VERSION (VERSION) VALUES (?)"));
            q.addBindValue(next);
            if (!q.exec())
                fail(codes::kDatabase, q.lastError().text());
        });
        version = next;
    }
    return version;
}

} // namespace zavek::backend
