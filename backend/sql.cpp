#include "backend/sql.h"

#include <QDateTime>
#include <QSqlError>

namespace zavek::backend {

namespace {
[[noreturn]] void raise(const QSqlError& error, const QString& sql) {
    const QString reason = error.databaseText().trimmed().isEmpty()
                               ? error.text().trimmed()
                               : error.databaseText().trimmed();
    throw SqlFailure(QStringLiteral("The database refused a statement (%1): %2")
                         .arg(error.text().trimmed(), sql.simplified()),
                     error.nativeErrorCode(), reason);
}
} // namespace

bool SqlFailure::isConflict() const {
    return sqlState_ == QLatin1String("40001") || sqlState_ == QLatin1String("40P01");
}

IStatementFaults::~IStatementFaults() = default;

QSqlQuery Sql::prepare(const QString& sql) const {
    return backend::prepare(db_, sql);
}

void Sql::run(QSqlQuery& query, std::initializer_list<QVariant> values) const {
    if (faults_)
        faults_->beforeStatement(query.lastQuery());
    backend::run(query, values);
}

void Sql::execute(const QString& sql) const {
    if (faults_)
        faults_->beforeStatement(sql);
    backend::execute(db_, sql);
}

QVariant Sql::scalar(const QString& sql, std::initializer_list<QVariant> values) const {
    QSqlQuery query = prepare(sql);
    run(query, values);
    if (!query.next())
        return {};
    return query.value(0);
}

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
    return Sql(db).scalar(sql, values);
}

QString storedTime(const QDateTime& when) {
    return when.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QDateTime readStoredTime(const QVariant& stored) {
    if (stored.metaType().id() == QMetaType::QDateTime)
        return stored.toDateTime().toUTC();
    return QDateTime::fromString(stored.toString(), Qt::ISODateWithMs).toUTC();
}

QVariant textOrNull(const QString& text) {
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

} // namespace zavek::backend
