#include "common/bulk_read.h"

#include "common/failure.h"
#include "common/session_info.h"
#include "common/transport.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <memory>
#include <vector>

namespace zavek {

namespace {

[[noreturn]] void queryFailed(const QString& reason) {
    fail(codes::kDatabase, QStringLiteral("The query failed: %1").arg(reason));
}

[[noreturn]] void noSuchField(const QString& name) {
    fail(codes::kNoSuchField, QStringLiteral("The table has no field \"%1\".").arg(name));
}

// Column number of each wanted name in the result's columns.
template <typename NameOf>
std::vector<int> positions(const QStringList& wanted, int count, NameOf nameOf) {
    std::vector<int> at;
    at.reserve(static_cast<std::size_t>(wanted.size()));
    for (const QString& name : wanted) {
        int found = -1;
        for (int i = 0; i < count && found < 0; ++i)
            if (name.compare(QString::fromUtf8(nameOf(i)), Qt::CaseInsensitive) == 0)
                found = i;
        if (found < 0)
            noSuchField(name);
        at.push_back(found);
    }
    return at;
}

void readSqlite(sqlite3* handle, const QString& query, const QStringList& columns,
                const std::function<void(const TextCell*)>& visit) {
    sqlite3_stmt* raw = nullptr;
    const QByteArray text = query.toUtf8();
    if (sqlite3_prepare_v2(handle, text.constData(), static_cast<int>(text.size()), &raw,
                           nullptr) != SQLITE_OK)
        queryFailed(QString::fromUtf8(sqlite3_errmsg(handle)));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, &sqlite3_finalize);
    const std::vector<int> at = positions(columns, sqlite3_column_count(raw),
                                          [&](int i) { return sqlite3_column_name(raw, i); });
    std::vector<TextCell> cells(at.size());
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
        for (std::size_t c = 0; c < at.size(); ++c) {
            TextCell& cell = cells[c];
            cell.null = sqlite3_column_type(raw, at[c]) == SQLITE_NULL;
            cell.data = reinterpret_cast<const char*>(sqlite3_column_text(raw, at[c]));
            cell.size = sqlite3_column_bytes(raw, at[c]);
        }
        visit(cells.data());
    }
    if (rc != SQLITE_DONE)
        fail(codes::kDatabase, QStringLiteral("Reading the query's rows failed: %1")
                                   .arg(QString::fromUtf8(sqlite3_errmsg(handle))));
}

void readPostgres(PGconn* handle, const QString& query, const QStringList& columns,
                  const std::function<void(const TextCell*)>& visit) {
    const std::unique_ptr<PGresult, void (*)(PGresult*)> result(
        PQexec(handle, query.toUtf8().constData()), &PQclear);
    if (!result || PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        queryFailed(
            QString::fromUtf8(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(handle))
                .trimmed());
    PGresult* r = result.get();
    const std::vector<int> at =
        positions(columns, PQnfields(r), [&](int i) { return PQfname(r, i); });
    std::vector<TextCell> cells(at.size());
    const int rows = PQntuples(r);
    for (int row = 0; row < rows; ++row) {
        for (std::size_t c = 0; c < at.size(); ++c) {
            TextCell& cell = cells[c];
            cell.null = PQgetisnull(r, row, at[c]) != 0;
            cell.data = PQgetvalue(r, row, at[c]);
            cell.size = PQgetlength(r, row, at[c]);
        }
        visit(cells.data());
    }
}

// Any other driver: through Qt SQL, one value per cell.
void readQt(QSqlDatabase& db, const QString& query, const QStringList& columns,
            const std::function<void(const TextCell*)>& visit) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(query))
        queryFailed(q.lastError().text());
    const QSqlRecord record = q.record();
    std::vector<int> at;
    for (const QString& name : columns) {
        const int i = record.indexOf(name);
        if (i < 0)
            noSuchField(name);
        at.push_back(i);
    }
    std::vector<QByteArray> texts(at.size());
    std::vector<TextCell> cells(at.size());
    while (q.next()) {
        for (std::size_t c = 0; c < at.size(); ++c) {
            texts[c] = q.value(at[c]).toString().toUtf8();
            cells[c] =
                TextCell{texts[c].constData(), static_cast<int>(texts[c].size()), q.isNull(at[c])};
        }
        visit(cells.data());
    }
    if (q.lastError().isValid())
        fail(codes::kDatabase,
             QStringLiteral("Reading the query's rows failed: %1").arg(q.lastError().text()));
}

// Behind a server: it runs only the queries it knows and sends the rows as a table.
void readThroughServer(const QString& query, const QStringList& columns,
                       const std::function<void(const TextCell*)>& visit) {
    MessageData request;
    request.messageType = message_types::kCatalogueRead;
    request.criteria.push_back({QString(), QStringLiteral("QUERY"), QStringLiteral("="), query});
    const MessageData reply = callBackEnd(std::move(request));
    const TableData* rows = reply.table(QStringLiteral("ROWS"));
    if (!rows)
        return;
    std::vector<int> at;
    for (const QString& name : columns) {
        const int i = rows->fieldIndex(name);
        if (i < 0)
            noSuchField(name);
        at.push_back(i);
    }
    std::vector<QByteArray> texts(at.size());
    std::vector<TextCell> cells(at.size());
    for (const auto& row : rows->rows) {
        for (std::size_t c = 0; c < at.size(); ++c) {
            const QVariant& v = row.at(static_cast<std::size_t>(at[c]));
            texts[c] = v.toString().toUtf8();
            cells[c] = TextCell{texts[c].constData(), static_cast<int>(texts[c].size()),
                                !v.isValid() || v.isNull()};
        }
        visit(cells.data());
    }
}

} // namespace

void readQueryRows(const QString& query, const QStringList& columns,
                   const std::function<void(const TextCell*)>& visit) {
    const QString connection = SessionInfo::Instance().databaseConnection();
    if (connection.isEmpty())
        return readThroughServer(query, columns, visit);
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    if (!db.isValid() || !db.isOpen())
        fail(codes::kNotConnected,
             QStringLiteral("No database is open for this session; sign in again."));
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        if (auto* h = *static_cast<sqlite3* const*>(handle.constData()))
            return readSqlite(h, query, columns, visit);
    }
    // The PostgreSQL driver names the handle after the struct behind libpq's typedef.
    if (handle.isValid() && (qstrcmp(handle.typeName(), "PGconn*") == 0 ||
                             qstrcmp(handle.typeName(), "pg_conn*") == 0)) {
        if (auto* h = *static_cast<PGconn* const*>(handle.constData()))
            return readPostgres(h, query, columns, visit);
    }
    readQt(db, query, columns, visit);
}

} // namespace zavek
