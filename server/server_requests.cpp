#include "server/server_requests.h"

#include "backend/authenticator.h"
#include "backend/session_check.h"
#include "backend/sql.h"
#include "common/catalogue_query.h"
#include "common/codec.h"
#include "common/failure.h"
#include "common/officer_directory.h"
#include "common/transport.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace zavek::server {

namespace {

constexpr int kMaxSearchRows = 1000;

QString criterion(const MessageData& request, const char* name) {
    for (const Criteria& c : request.criteria)
        if (c.fieldName.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return c.value;
    return {};
}

} // namespace

ServerRequests::ServerRequests(QString connectionName, Log log, const backend::IClock& clock)
    : connectionName_(std::move(connectionName)), log_(std::move(log)), clock_(clock),
      processor_(QSqlDatabase::database(connectionName_, false), clock) {}

QByteArray ServerRequests::handle(const QByteArray& request, const QString& peer) {
    MessageData decoded;
    if (const auto failure = attempt([&] { decoded = decodeMessage(request); })) {
        log_(
            QStringLiteral("%1: unreadable request dropped: %2").arg(peer, failure->description()));
        return {};
    }
    return encodeMessage(answer(decoded, peer));
}

MessageData ServerRequests::answer(const MessageData& request, const QString& peer) {
    using namespace message_types;
    switch (request.messageType) {
    case kRetrieval:
    case kSave:
    case kHistory:
        return processor_.process(request);
    default:
        break;
    }
    MessageData reply = LoopbackTransport::replyTo(request);
    reply.clientVersion = request.clientVersion;
    const auto failure = attempt([&] {
        switch (request.messageType) {
        case kSignIn:
            signIn(request, reply);
            break;
        case kSignOut:
            backend::Authenticator(QSqlDatabase::database(connectionName_), clock_)
                .signOut(request.sessionId);
            break;
        case kCatalogueRead:
            catalogue(request, reply, peer);
            break;
        case kOfficerSearch:
            officers(request, reply);
            break;
        default:
            log_(QStringLiteral("%1: request of unknown type %2 refused")
                     .arg(peer)
                     .arg(request.messageType));
            fail(codes::kStop, tr("The server does not handle requests of type %1. "
                                  "Nothing was done; update ZAVEK and try again.")
                                   .arg(request.messageType));
        }
    });
    if (failure) {
        reply.tables.clear();
        reply.criteria.clear();
        reply.errorText = failure->description();
    }
    return reply;
}

void ServerRequests::signIn(const MessageData& request, MessageData& reply) {
    backend::Authenticator authenticator(QSqlDatabase::database(connectionName_), clock_);
    const backend::Session session =
        authenticator.signIn(criterion(request, "ADMIN_ID"), criterion(request, "PASSWORD"));
    reply.sessionId = session.token;
    TableData table;
    table.fields = QStringList{QStringLiteral("ADMIN_ID"), QStringLiteral("ADMIN_NAME"),
                               QStringLiteral("REGION")};
    table.rows.push_back({session.adminId, session.adminName, session.region});
    reply.tables.push_back({QStringLiteral("SESSION"), std::move(table)});
}

namespace {
backend::AdminSession liveSession(const QString& connection, const backend::IClock& clock,
                                  const QString& token) {
    const backend::Sql sql(QSqlDatabase::database(connection));
    const auto session = backend::SessionCheck(sql, clock).check(token);
    if (!session)
        fail(codes::kStop, backend::SessionCheck::expiredText());
    return *session;
}
} // namespace

void ServerRequests::catalogue(const MessageData& request, MessageData& reply,
                               const QString& peer) {
    const backend::AdminSession session = liveSession(connectionName_, clock_, request.sessionId);
    // The only query text ever run: the one the screen builds for the session's own region.
    const QString expected = catalogueQuery(session.region.trimmed().toUpper());
    if (criterion(request, "QUERY") != expected) {
        log_(QStringLiteral("%1: catalogue read by %2 refused: the query is not the catalogue "
                            "of region %3")
                 .arg(peer, session.adminId, session.region));
        fail(codes::kStop, tr("The server answers only the catalogue of your own region, so the "
                              "read was refused. Update ZAVEK and sign in again."));
    }
    QSqlQuery query(QSqlDatabase::database(connectionName_));
    query.setForwardOnly(true);
    if (!query.exec(expected))
        fail(codes::kDatabase,
             tr("The catalogue could not be read: %1").arg(query.lastError().text()));
    TableData table;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        table.fields << record.fieldName(i);
    while (query.next()) {
        std::vector<QVariant> row;
        row.reserve(static_cast<std::size_t>(record.count()));
        for (int i = 0; i < record.count(); ++i)
            row.push_back(query.isNull(i) ? QVariant() : query.value(i));
        table.rows.push_back(std::move(row));
    }
    reply.tables.push_back({QStringLiteral("ROWS"), std::move(table)});
}

void ServerRequests::officers(const MessageData& request, MessageData& reply) {
    const backend::AdminSession session = liveSession(connectionName_, clock_, request.sessionId);
    const int limit = std::clamp(criterion(request, "LIMIT").toInt(), 0, kMaxSearchRows);
    // The region is the session's, whatever the client would like to see.
    const OfficerSearchResult found =
        SqlOfficerDirectory(connectionName_)
            .search(criterion(request, "TEXT"), session.region, limit);
    TableData table;
    table.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("OFFICER_NAME")};
    for (const OfficerRow& row : found.rows)
        table.rows.push_back({row.id, row.name});
    reply.tables.push_back({QStringLiteral("OFFICER"), std::move(table)});
    reply.criteria.push_back({QString(), QStringLiteral("MORE"), QStringLiteral("="),
                              found.more ? QStringLiteral("1") : QStringLiteral("0")});
}

} // namespace zavek::server
