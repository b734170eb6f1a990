#pragma once
// Prepared statements that throw a SqlFailure on failure, and one transaction around a body of
// them.

#include "backend/sql.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <functional>

namespace zavek::admin {

// A statement the database refused: the back end's one SqlFailure, whose description is the
// database's own complaint.
using SqlFailure = backend::SqlFailure;

class Sql {
public:
    explicit Sql(QSqlDatabase db) : db_(std::move(db)) {}
    QSqlQuery run(const QString& statement, const QVariantList& values = {});
    // A statement to run many times over, e.g. once per line of a file.
    QSqlQuery prepare(const QString& statement);
    void exec(QSqlQuery& query, const QVariantList& values);
    QSqlDatabase database() const { return db_; }

private:
    QSqlDatabase db_;
};

// Who runs a command and on what, for the audit log.
struct Operator {
    QString actor;  // e.g. "zavek-admin:alice"
    QString source; // e.g. the imported file's name
};

enum class ImportKind { Catalogue, Officers };

// One summary row per import, written by the import's own transaction.
void writeImportAudit(Sql& sql, const Operator& who, ImportKind kind, int added, int changed);

// Runs body in the back end's transaction (serialisable on PostgreSQL, retried a few times on a
// conflict with another writer). A body that returns false is rolled back without a failure.
// Returns the database's complaint, empty when none.
QString inTransaction(QSqlDatabase db, const std::function<bool(Sql&)>& body);

} // namespace zavek::admin
