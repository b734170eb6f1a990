#pragma once
// The back-end services the administration commands use, in one place.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <vector>

namespace zavek::admin {

QString defaultDatabaseLocation();

// Opens (an SQLite file is created) the database at location under the connection name; a
// failure says in one sentence what to fix.
QSqlDatabase openAdminDatabase(const QString& location, const QString& connectionName);

// Creates or upgrades the schema; returns the schema version now in place.
int migrateAdminDatabase(QSqlDatabase db);

// The schema version the database is at; a database of a newer version is refused.
int checkSchema(QSqlDatabase db);

void seedDemo(QSqlDatabase db);

void addAdministrator(QSqlDatabase db, const QString& adminId, const QString& name,
                      const QString& region, const QString& password, const QString& actor);

// The names with failed sign-ins in a row, as rows NAME, FAILURES, LAST FAILURE, LOCKED UNTIL.
struct LockoutReport {
    QStringList header;
    std::vector<QStringList> rows;
};
LockoutReport readLockouts(QSqlDatabase db);
QString lockoutsAsTable(const LockoutReport& report);
bool liftLockout(QSqlDatabase db, const QString& name, const QString& actor);

} // namespace zavek::admin
