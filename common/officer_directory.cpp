#include "common/officer_directory.h"

#include "common/failure.h"
#include "common/session_info.h"
#include "common/transport.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace zavek {

IOfficerDirectory::~IOfficerDirectory() = default;

namespace {

// Portable between SQLite and PostgreSQL: lower() on both sides instead of ILIKE, an explicit
// escape character, and a typed parameter so that PostgreSQL can resolve lower().
constexpr auto kSearchSql = "SELECT INSP_ID, OFFICER_NAME FROM OFFICER"
                            " WHERE REGION = ?"
                            " AND (lower(INSP_ID) LIKE lower(CAST(? AS VARCHAR)) ESCAPE '\\'"
                            " OR lower(OFFICER_NAME) LIKE lower(CAST(? AS VARCHAR)) ESCAPE '\\')"
                            " ORDER BY OFFICER_NAME, INSP_ID"
                            " LIMIT ?";

QString containsPattern(const QString& text) {
    QString escaped;
    escaped.reserve(text.size() + 2);
    for (const QChar c : text) {
        if (c == u'\\' || c == u'%' || c == u'_')
            escaped.append(u'\\');
        escaped.append(c);
    }
    return u'%' + escaped + u'%';
}

[[noreturn]] void failQuery(const QSqlError& error) {
    fail(codes::kDatabase,
         QCoreApplication::translate("zavek::OfficerDirectory", "The officer search failed: %1")
             .arg(error.text().trimmed()));
}

} // namespace

SqlOfficerDirectory::SqlOfficerDirectory(QString connectionName)
    : connectionName_(std::move(connectionName)) {}

OfficerSearchResult SqlOfficerDirectory::search(const QString& text, const QString& region,
                                                int limit) {
    QSqlDatabase db = QSqlDatabase::database(connectionName_);
    if (!db.isValid())
        fail(codes::kNotConnected,
             QCoreApplication::translate(
                 "zavek::OfficerDirectory",
                 "The officer search failed: there is no database connection named "
                 "\"%1\".")
                 .arg(connectionName_));
    if (!db.isOpen())
        failQuery(db.lastError());

    const int cap = std::max(limit, 0);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(QString::fromLatin1(kSearchSql)))
        failQuery(query.lastError());
    const QString pattern = containsPattern(text);
    query.addBindValue(region);
    query.addBindValue(pattern);
    query.addBindValue(pattern);
    // One row beyond the cap tells whether more officers match.
    query.addBindValue(cap + 1);
    if (!query.exec())
        failQuery(query.lastError());

    OfficerSearchResult result;
    while (query.next()) {
        if (static_cast<int>(result.rows.size()) == cap) {
            result.more = true;
            break;
        }
        result.rows.push_back({query.value(0).toString(), query.value(1).toString()});
    }
    if (query.lastError().isValid())
        failQuery(query.lastError());
    return result;
}

OfficerSearchResult BackEndOfficerDirectory::search(const QString& text, const QString& region,
                                                    int limit) {
    Q_UNUSED(region);
    MessageData request;
    request.messageType = message_types::kOfficerSearch;
    request.criteria.push_back({QString(), QStringLiteral("TEXT"), QStringLiteral("="), text});
    request.criteria.push_back({QString(), QStringLiteral("LIMIT"), QStringLiteral("="),
                                QString::number(std::max(limit, 0))});
    const MessageData reply = callBackEnd(std::move(request));
    OfficerSearchResult result;
    if (const TableData* rows = reply.table(QStringLiteral("OFFICER")))
        for (const auto& row : rows->rows)
            if (row.size() >= 2)
                result.rows.push_back({row[0].toString(), row[1].toString()});
    for (const Criteria& c : reply.criteria)
        if (c.fieldName == QLatin1String("MORE"))
            result.more = c.value == QLatin1String("1");
    return result;
}

std::unique_ptr<IOfficerDirectory> sessionOfficerDirectory() {
    const QString connection = SessionInfo::Instance().databaseConnection();
    if (connection.isEmpty())
        return std::make_unique<BackEndOfficerDirectory>();
    return std::make_unique<SqlOfficerDirectory>(connection);
}

} // namespace zavek
