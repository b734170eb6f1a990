#pragma once
// Prepared statements that fail loudly: every error becomes a SqlFailure carrying SQLSTATE.

#include "common/failure.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <initializer_list>

namespace zavek::backend {

class SqlFailure : public Failure {
public:
    SqlFailure(QString description, QString sqlState)
        : Failure(codes::kDatabase, std::move(description)), sqlState_(std::move(sqlState)) {}
    const QString& sqlState() const { return sqlState_; }

private:
    QString sqlState_;
};

// Prepares sql on db; throws SqlFailure when it does not compile.
QSqlQuery prepare(const QSqlDatabase& db, const QString& sql);
// Binds values positionally and executes; throws SqlFailure on an error.
void run(QSqlQuery& query, std::initializer_list<QVariant> values = {});
// Executes a statement without parameters.
void execute(const QSqlDatabase& db, const QString& sql);
// The first column of the first row, or an invalid QVariant when there is no row.
QVariant scalar(const QSqlDatabase& db, const QString& sql,
                std::initializer_list<QVariant> values = {});

// The moment now as stored in the database: ISO 8601 UTC with milliseconds, so that texts order
// like times.
QString storedTime(const class QDateTime& when);

} // namespace zavek::backend
