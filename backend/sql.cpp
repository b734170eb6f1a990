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
                     error.nativeErrorCode(), reason, sql.simplified());
}
} // namespace

bool SqlFailure::isConflict() const {
    return sqlState_ == QLatin1String("40001") || sqlState_ == QLatin1String("40P01");
}

IStatementFaults::~IStatementFaults() = default;

QSqlQuery& StatementCache::get(const QSqlDatabase& db, const QString& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        QSqlQuery query = backend::prepare(db, sql);
        found = statements_.emplace(sql, std::move(query)).first;
    }
    return found->second;
}

void StatementCache::finishAll() {
    for (auto& [sql, query] : statements_)
        query.finish();
}

QSqlQuery Sql::prepare(const QString& sql) const {
    return backend::prepare(db_, sql);
}

QSqlQuery& Sql::statement(const QString& sql) const {
    if (cache_)
        return cache_->get(db_, sql);
    return own_.emplace_back(prepare(sql));
}

void Sql::run(QSqlQuery& query, std::initializer_list<QVariant> values) const {
    if (faults_)
        faults_->beforeStatement(query.lastQuery());
    try {
        backend::run(query, values);
    } catch (const SqlFailure&) {
        // A kept statement must not stay half run into the rollback.
        query.finish();
        throw;
    }
}

void Sql::execute(const QString& sql) const {
    if (faults_)
        faults_->beforeStatement(sql);
    backend::execute(db_, sql);
}

QVariant Sql::scalar(const QString& sql, std::initializer_list<QVariant> values) const {
    QSqlQuery own;
    QSqlQuery& query = cache_ ? cache_->get(db_, sql) : (own = prepare(sql));
    run(query, values);
    QVariant value = query.next() ? query.value(0) : QVariant();
    query.finish();
    return value;
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
