#pragma once
// Prepared statements that fail loudly: every error becomes a SqlFailure carrying SQLSTATE.

#include "common/failure.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <deque>
#include <initializer_list>
#include <map>

namespace zavek::backend {

// The one shape of a database failure, for the back end and the admin tool alike.
class SqlFailure : public Failure {
public:
    SqlFailure(QString description, QString sqlState, QString reason = {}, QString statement = {})
        : Failure(codes::kDatabase, std::move(description), FailureKind::Database),
          sqlState_(std::move(sqlState)), reason_(std::move(reason)),
          statement_(std::move(statement)) {}
    const QString& sqlState() const { return sqlState_; }
    // The database's own words, without the statement.
    const QString& reason() const { return reason_; }
    // The statement the back end ran, already named in the description; empty when the
    // description is the database's bare complaint (the admin tool's statements).
    const QString& statement() const { return statement_; }
    // Another transaction got in the way (serialisation failure or deadlock): worth a retry.
    bool isConflict() const;

private:
    QString sqlState_;
    QString reason_;
    QString statement_;
};

// Consulted before each statement a Sql runs; a test makes a statement fail by throwing
// SqlFailure from here. Product code never installs one.
class IStatementFaults {
public:
    virtual ~IStatementFaults();
    virtual void beforeStatement(const QString& sql) = 0;
};

// The prepared statements of one connection, kept from one request to the next so that each is
// compiled once. Every read through one is finished as soon as it is taken, so that a kept
// statement never holds an old snapshot of the database.
class StatementCache {
public:
    QSqlQuery& get(const QSqlDatabase& db, const QString& sql);
    // Ends every statement's reading; between requests none is left open.
    void finishAll();
    // After a failure: the connection may be broken, so everything is prepared afresh.
    void clear() { statements_.clear(); }

private:
    std::map<QString, QSqlQuery> statements_;
};

// The statements of one piece of work on one connection.
class Sql {
public:
    explicit Sql(QSqlDatabase db, IStatementFaults* faults = nullptr,
                 StatementCache* cache = nullptr)
        : db_(std::move(db)), faults_(faults), cache_(cache) {}

    QSqlQuery prepare(const QString& sql) const;
    // The statement from the connection's cache, or one this Sql keeps while it lives. Its
    // reader finishes it (or reads it to its end) before the next use.
    QSqlQuery& statement(const QString& sql) const;
    void run(QSqlQuery& query, std::initializer_list<QVariant> values = {}) const;
    void execute(const QString& sql) const;
    QVariant scalar(const QString& sql, std::initializer_list<QVariant> values = {}) const;
    const QSqlDatabase& db() const { return db_; }

private:
    QSqlDatabase db_;
    IStatementFaults* faults_;
    StatementCache* cache_;
    mutable std::deque<QSqlQuery> own_; // without a cache
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
