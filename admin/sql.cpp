#include "admin/sql.h"

#include "backend/audit.h"
#include "backend/database.h"
#include "backend/sql.h"
#include "common/failure.h"

#include <QDateTime>

namespace zavek::admin {

SqlFailure::SqlFailure(const QSqlError& error)
    : std::runtime_error(error.text().toStdString()), error_(error) {}

QSqlQuery Sql::run(const QString& statement, const QVariantList& values) {
    QSqlQuery query = prepare(statement);
    exec(query, values);
    return query;
}

QSqlQuery Sql::prepare(const QString& statement) {
    QSqlQuery query(db_);
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        throw SqlFailure(query.lastError());
    return query;
}

void Sql::exec(QSqlQuery& query, const QVariantList& values) {
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(static_cast<int>(i), values[i]);
    if (!query.exec())
        throw SqlFailure(query.lastError());
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
            bool keep = false;
            try {
                keep = body(sql);
            } catch (const SqlFailure& f) {
                // The back end retries a conflict it recognises by its SQLSTATE.
                throw backend::SqlFailure(f.error().text(), f.error().nativeErrorCode());
            }
            if (!keep) {
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
