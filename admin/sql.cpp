#include "admin/sql.h"

#include "backend/audit.h"
#include "backend/database.h"
#include "backend/sql.h"
#include "common/failure.h"

#include <QDateTime>
#include <QSqlError>

namespace zavek::admin {

namespace {
// The database's complaint as the admin tool shows it, with the SQLSTATE the back end's retry of
// a conflict goes by.
[[noreturn]] void raise(const QSqlError& error) {
    throw SqlFailure(error.text(), error.nativeErrorCode());
}
} // namespace

QSqlQuery Sql::run(const QString& statement, const QVariantList& values) {
    QSqlQuery query = prepare(statement);
    exec(query, values);
    return query;
}

QSqlQuery Sql::prepare(const QString& statement) {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        raise(query.lastError());
    return query;
}

void Sql::exec(QSqlQuery& query, const QVariantList& values) {
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(static_cast<int>(i), values[i]);
    if (!query.exec())
        raise(query.lastError());
}

void writeImportAudit(Sql& sql, const Operator& who, ImportKind kind, int added, int changed) {
    const bool catalogue = kind == ImportKind::Catalogue;
    backend::writeAudit(
        backend::Sql(sql.database()), QDateTime::currentDateTimeUtc(),
        {catalogue ? backend::AuditAction::CatalogueImported
                   : backend::AuditAction::OfficersImported,
         who.actor.isEmpty() ? QStringLiteral("zavek-admin") : who.actor,
         {},
         {},
         {},
         QStringLiteral("%1 from %2: %3 added, %4 updated")
             .arg(catalogue ? QStringLiteral("catalogue") : QStringLiteral("officers"),
                  who.source.isEmpty() ? QStringLiteral("a file") : who.source)
             .arg(added)
             .arg(changed)});
}

QString inTransaction(QSqlDatabase db, const std::function<bool(Sql&)>& body) {
    bool declined = false;
    const auto failure = attempt([&] {
        backend::runInTransaction(db, [&] {
            Sql sql(db);
            if (!body(sql)) {
                declined = true;
                fail(codes::kStop, QStringLiteral("declined"));
            }
        });
    });
    if (!failure || declined)
        return {};
    return failure->description().trimmed();
}

} // namespace zavek::admin
