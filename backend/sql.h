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
    SqlFailure(QString description, QString sqlState, QString reason = {})
        : Failure(codes::kDatabase, std::move(description)), sqlState_(std::move(sqlState)),
          reason_(std::move(reason)) {}
    const QString& sqlState() const { return sqlState_; }
    // The database's own words, without the statement.
    const QString& reason() const { return reason_; }
    // Another transaction got in the way (serialisation failure or deadlock): worth a retry.
    bool isConflict() const;

private:
    QString sqlState_;
    QString reason_;
};

// Consulted before each statement a Sql runs; a test makes a statement fail by throwing
// SqlFailure from here. Product code never installs one.
class IStatementFaults {
public:
    virtual ~IStatementFaults();
    virtual void beforeStatement(const QString& sql) = 0;
};

// The statements of one piece of work on one connection.
class Sql {
public:
    explicit Sql(QSqlDatabase db, IStatementFaults* faults = nullptr)
        : db_(std::move(db)), faults_(faults) {}

    QSqlQuery prepare(const QString& sql) const;
    void run(QSqlQuery& query, std::initializer_list<QVariant> values = {}) const;
    void execute(const QString& sql) const;
    QVariant scalar(const QString& sql, std::initializer_list<QVariant> values = {}) const;
    const QSqlDatabase& db() const { return db_; }

private:
    QSqlDatabase db_;
    IStatementFaults* faults_;
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

// The moment as stored in the database: ISO 8601 UTC with milliseconds, so that texts order
// like times.
QString storedTime(const class QDateTime& when);
// The stored text read back; an invalid QDateTime when it is not one.
QDateTime readStoredTime(const QVariant& stored);

// A text value that binds as a typed NULL when empty.
QVariant textOrNull(const QString& text);

} // namespace zavek::backend
