#include "admin/sql.h"

#include <QThread>

namespace zavek::admin {

namespace {
constexpr int kAttempts = 8;

// Transaction control is sent as plain text: PostgreSQL cannot prepare it.
void control(const QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    if (!query.exec(statement))
        throw SqlFailure(query.lastError());
}

bool isPostgres(const QSqlDatabase& db) {
    return db.driverName() == u"QPSQL";
}

bool isConflict(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    // 40001 serialisation failure, 40P01 deadlock; 5 and 6 are SQLite's busy and locked.
    return code == u"40001" || code == u"40P01" || code == u"5" || code == u"6";
}
} // namespace

SqlFailure::SqlFailure(const QSqlError& error)
    : std::runtime_error(error.text().toStdString()), error_(error) {}

QSqlQuery Sql::run(const QString& statement, const QVariantList& values) {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        throw SqlFailure(query.lastError());
    for (const auto& v : values)
        query.addBindValue(v);
    if (!query.exec())
        throw SqlFailure(query.lastError());
    return query;
}

QString inTransaction(QSqlDatabase db, const std::function<bool(Sql&)>& body) {
    const QString begin = isPostgres(db) ? QStringLiteral("BEGIN ISOLATION LEVEL SERIALIZABLE")
                                         : QStringLiteral("BEGIN IMMEDIATE");
    QSqlError last;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        Sql sql(db);
        try {
            control(db, begin);
            if (!body(sql)) {
                QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
                return {};
            }
            control(db, QStringLiteral("COMMIT"));
            return {};
        } catch (const SqlFailure& failure) {
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            last = failure.error();
            if (!isConflict(last))
                break;
            QThread::msleep(static_cast<unsigned long>(10 * attempt));
        }
    }
    QString text = last.databaseText().trimmed();
    if (text.isEmpty())
        text = last.text().trimmed();
    return text;
}

} // namespace zavek::admin
