#include "admin/backend_access.h"

#include "admin/text_table.h"
#include "backend/authenticator.h"
#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/schema.h"
#include "common/failure.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlQuery>

namespace zavek::admin {

QString defaultDatabaseLocation() {
    return backend::defaultDatabaseLocation();
}

QSqlDatabase openAdminDatabase(const QString& location, const QString& connectionName) {
    return backend::openDatabase(location, connectionName);
}

int migrateAdminDatabase(QSqlDatabase db) {
    backend::migrate(db); // which answers how many steps it took, not where they ended
    return backend::schemaVersion(db);
}

int checkSchema(QSqlDatabase db) {
    const int version = backend::schemaVersion(db);
    if (version == 0)
        fail(codes::kDatabase, QCoreApplication::translate("zavek::admin::BackendAccess",
                                                           "The database has no tables yet; run "
                                                           "\"zavek-admin init\" first."));
    if (version > backend::kSchemaVersion)
        fail(codes::kDatabase,
             QCoreApplication::translate(
                 "zavek::admin::BackendAccess",
                 "The database was created by a newer version of ZAVEK (schema %1, "
                 "this program knows %2); install the newer version.")
                 .arg(version)
                 .arg(backend::kSchemaVersion));
    if (version < backend::kSchemaVersion)
        fail(codes::kDatabase,
             QCoreApplication::translate("zavek::admin::BackendAccess",
                                         "The database is at schema %1 and needs upgrading "
                                         "to %2; run \"zavek-admin init\" first.")
                 .arg(version)
                 .arg(backend::kSchemaVersion));
    return version;
}

void seedDemo(QSqlDatabase db) {
    backend::seedDemoData(db);
}

void addAdministrator(QSqlDatabase db, const QString& adminId, const QString& name,
                      const QString& region, const QString& password, const QString& actor) {
    QSqlQuery existing(db);
    existing.prepare(QStringLiteral("SELECT 1 FROM ADMINISTRATOR WHERE ADMIN_ID = ?"));
    existing.addBindValue(adminId);
    if (existing.exec() && existing.next())
        fail(codes::kInvalidArgument,
             QCoreApplication::translate("zavek::admin::BackendAccess",
                                         "The administrator %1 already exists; choose another ID.")
                 .arg(adminId));
    backend::addAdministrator(db, adminId, name, region, password, actor);
}

LockoutReport readLockouts(QSqlDatabase db) {
    LockoutReport report;
    report.header =
        QStringList{QCoreApplication::translate("zavek::admin::BackendAccess", "NAME"),
                    QCoreApplication::translate("zavek::admin::BackendAccess", "FAILURES"),
                    QCoreApplication::translate("zavek::admin::BackendAccess", "LAST FAILURE"),
                    QCoreApplication::translate("zavek::admin::BackendAccess", "LOCKED UNTIL")};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto moment = [](const QDateTime& t) {
        return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
    };
    for (const auto& l : backend::listLockouts(db))
        report.rows.push_back(
            {l.adminId, QString::number(l.failures), moment(l.lastFailure),
             l.lockedUntil.isValid() && l.lockedUntil > now
                 ? moment(l.lockedUntil)
                 : QCoreApplication::translate("zavek::admin::BackendAccess", "not locked")});
    return report;
}

QString lockoutsAsTable(const LockoutReport& report) {
    if (report.rows.empty())
        return QCoreApplication::translate("zavek::admin::BackendAccess",
                                           "No administrator name has failed sign-ins.\n");
    return formatTextTable(report.header, report.rows);
}

bool liftLockout(QSqlDatabase db, const QString& name, const QString& actor) {
    return backend::liftLockout(db, name, actor);
}

} // namespace zavek::admin
