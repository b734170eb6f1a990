#include "tests/postgres/test_database.h"

#include "backend/authenticator.h"
#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/schema.h"
#include "common/failure.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

using namespace Qt::Literals::StringLiterals;

namespace zavek::testing {

const char* engineName(Engine engine) {
    return engine == Engine::Sqlite ? "SQLite" : "PostgreSQL";
}

QString onPostgresServer(const QString& statement) {
    const auto failure = attempt([&] {
        Connection c(qEnvironmentVariable("ZAVEK_TEST_POSTGRES"));
        QSqlQuery query(c.db());
        if (!query.exec(statement))
            fail(codes::kDatabase, query.lastError().text());
    });
    return failure ? failure->description() : QString();
}

TestDatabase::TestDatabase(Engine engine) {
    if (engine == Engine::Sqlite) {
        location_ = dir_.filePath(u"test.sqlite"_s);
        error_ = dir_.isValid() ? QString() : u"no temporary directory"_s;
        return;
    }
    QUrl url(qEnvironmentVariable("ZAVEK_TEST_POSTGRES"));
    skipped_ = url.isEmpty();
    if (skipped_)
        return;
    // A name of our own making, so it can be written into the statement.
    name_ = u"zt_"_s + QUuid::createUuid().toString(QUuid::Id128).left(20);
    error_ = onPostgresServer(u"CREATE DATABASE %1"_s.arg(name_));
    if (!error_.isEmpty()) {
        error_ = u"cannot create a test database: "_s + error_;
        name_.clear();
        return;
    }
    url.setPath(u'/' + name_);
    location_ = url.toString();
}

TestDatabase::~TestDatabase() {
    if (!name_.isEmpty())
        onPostgresServer(u"DROP DATABASE IF EXISTS %1 WITH (FORCE)"_s.arg(name_));
}

Connection::Connection(const QString& location)
    : name_(u"test-"_s + QUuid::createUuid().toString()),
      db_(backend::openDatabase(location, name_)) {}

Connection::~Connection() {
    db_ = QSqlDatabase();
    backend::closeDatabase(name_);
}

namespace {
MessageData request(std::int32_t type, const QString& session, const QString& messageId) {
    MessageData m;
    m.replyTo = u"test-document"_s;
    m.clientVersion = u"1.0.0"_s;
    m.messageType = type;
    m.sessionId = session;
    m.messageId = messageId;
    return m;
}

QSqlQuery run(QSqlDatabase& db, const QString& sql, const QVariantList& values) {
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    q.exec();
    return q;
}
} // namespace

MessageData retrievalRequest(const QString& session, const QString& officer,
                             const QString& messageId) {
    MessageData m = request(kRetrievalType, session, messageId);
    m.criteria.push_back({u"QUILLMOR"_s, u"key:INSP_ID"_s, u"="_s, officer});
    return m;
}

MessageData saveRequest(const QString& session, const QString& officer,
                        const std::vector<Change>& changes, const QString& messageId) {
    MessageData m = request(kSaveType, session, messageId);
    TableData table;
    table.fields = QStringList{u"GRP_CD"_s, u"INSP_ID"_s, u"ACTION"_s};
    for (const auto& [code, action] : changes)
        table.rows.push_back({code, officer, action});
    m.tables.push_back({u"OFFICERGROUP"_s, table});
    return m;
}

QString demoSession(QSqlDatabase& db, const backend::IClock& clock) {
    return backend::Authenticator(db, clock)
        .signIn(QString::fromLatin1(backend::kDemoAdminId),
                QString::fromLatin1(backend::kDemoAdminPassword))
        .token;
}

QString seededSession(QSqlDatabase& db, const backend::IClock& clock) {
    backend::migrate(db);
    backend::seedDemoData(db);
    return demoSession(db, clock);
}

std::set<QString> storedMemberships(QSqlDatabase& db, const QString& officer) {
    std::set<QString> held;
    QSqlQuery q = run(db, u"SELECT GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = ?"_s, {officer});
    while (q.next())
        held.insert(q.value(0).toString());
    return held;
}

std::set<QString> heldInReply(const MessageData& reply) {
    std::set<QString> held;
    if (const TableData* t = reply.table(u"OFFICERGROUP"_s))
        for (const auto& row : t->rows)
            held.insert(row[static_cast<std::size_t>(t->fieldIndex(u"GRP_CD"_s))].toString());
    return held;
}

QStringList catalogueCodes(QSqlDatabase& db, const QString& type) {
    QStringList codes;
    QSqlQuery q = run(db,
                      u"SELECT GRP_CD FROM VRD_GROUP WHERE REGION = 'NW' AND "
                      "GRP_TYP_CD = ? ORDER BY GRP_CD"_s,
                      {type});
    while (q.next())
        codes << q.value(0).toString();
    return codes;
}

void addOfficer(QSqlDatabase& db, const QString& officer, const QStringList& codes) {
    run(db, u"INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION) VALUES (?, ?, 'NW')"_s,
        {officer, u"Test officer "_s + officer});
    for (const auto& code : codes)
        run(db, u"INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"_s, {officer, code});
}

int auditRows(QSqlDatabase& db, const QString& officer, const QString& messageId) {
    QSqlQuery q = run(db, u"SELECT COUNT(*) FROM AUDIT_LOG WHERE INSP_ID = ? AND MESSAGE_ID = ?"_s,
                      {officer, messageId});
    return q.next() ? q.value(0).toInt() : -1;
}

int scalarOf(QSqlDatabase& db, const QString& statement) {
    QSqlQuery q(db);
    return q.exec(statement) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace zavek::testing
