#include "backend/sql.h"

#include <QDateTime>
#include <QSqlError>

namespace zavek::backend {

namespace {
[[noreturn]] void raise(const QSqlError& error, const QString& sql) {
    throw SqlFailure(QStringLiteral("The database refused a statement (%1): %2")
                         .arg(error.text().trimmed(), sql.simplified()),
                     error.nativeErrorCode());
}
} // namespace

QSqlQuery prepare(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.prepare(sql))
        raise(query.lastError(), sql);
    return query;
}

void run(QSqlQuery& query, std::initializer_list<QVariant> values) {
    int i = 0;
    for (const auto& v : values)
        query.bindValue(i++, v);
    if (!query.exec())
        raise(query.lastError(), query.lastQuery());
}

void execute(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql))
        raise(query.lastError(), sql);
}

QVariant scalar(const QSqlDatabase& db, const QString& sql,
                std::initializer_list<QVariant> values) {
    QSqlQuery query = prepare(db, sql);
    run(query, values);
    if (!query.next())
        return {};
    return query.value(0);
}

QString storedTime(const QDateTime& when) {
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

} // namespace zavek::backend
