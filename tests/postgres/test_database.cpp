#include "tests/postgres/test_database.h"

#include "backend/authenticator.h"
#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/sql.h"
#include "common/failure.h"

#include <QUrl>
#include <QUuid>

namespace zavek::testing {

QStringList column(QSqlDatabase& db, const QString& sql, std::initializer_list<QVariant> values) {
    QSqlQuery q = backend::prepare(db, sql);
    backend::run(q, values);
    QStringList out;
    while (q.next())
        out << q.value(0).toString();
    return out;
}

// Unprepared, as CREATE DATABASE must run.
QString onPostgresServer(const QString& statement) {
    const auto failure = attempt([&] {
        backend::execute(Connection(qEnvironmentVariable("ZAVEK_TEST_POSTGRES")).db(), statement);
    });
    return failure ? failure->description() : QString();
}

TestDatabase::TestDatabase(Engine engine) {
    QUrl url(qEnvironmentVariable("ZAVEK_TEST_POSTGRES"));
    location_ = dir_.filePath("test.sqlite");
    skipped_ = engine == Engine::Postgres && url.isEmpty();
    if (engine == Engine::Sqlite || skipped_)
        return;
    // A name of our own making, so it can be written into the statement.
    name_ = "zt_" + QUuid::createUuid().toString(QUuid::Id128).left(20);
    error_ = onPostgresServer("CREATE DATABASE " + name_);
    url.setPath('/' + name_);
    location_ = url.toString();
}

TestDatabase::~TestDatabase() {
    if (!name_.isEmpty())
        onPostgresServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name_));
}

Connection::Connection(const QString& location)
    : name_("test-" + QUuid::createUuid().toString()), db_(backend::openDatabase(location, name_)) {
}

Connection::~Connection() {
    db_ = QSqlDatabase();
    backend::closeDatabase(name_);
}

MessageData retrievalRequest(const QString& session, const QString& officer,
                             const QString& messageId) {
    MessageData m{"test-document", "1.0.0", 2, session, messageId, {}, {}, {}};
    m.criteria.push_back({"QUILLMOR", "key:INSP_ID", "=", officer});
    return m;
}

MessageData saveRequest(const QString& session, const QString& officer,
                        const std::vector<Change>& changes, const QString& messageId, bool reset) {
    TableData table{{"GRP_CD", "INSP_ID", "ACTION"}, {}};
    for (const auto& [code, action] : changes)
        table.rows.push_back({code, officer, action});
    MessageData m{"test-document",           "1.0.0", 3, session, messageId, {},
                  {{"OFFICERGROUP", table}}, {}};
    if (reset)
        m.tables.push_back(
            {"SETUP", {{"INSP_ID", "INITIAL", "ACTION"}, {{officer, "Y", "RESET"}}}});
    return m;
}

QString seededSession(QSqlDatabase& db, const backend::IClock& clock) {
    backend::seedDemoData(db); // once: it leaves a database with officers alone
    return backend::Authenticator(db, clock).signIn(backend::kDemoAdminId, "zavek-demo").token;
}

std::set<QString> storedMemberships(QSqlDatabase& db, const QString& officer) {
    const auto held = column(db, "SELECT GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = ?", {officer});
    return {held.begin(), held.end()};
}

std::set<QString> heldInReply(const MessageData& reply) {
    std::set<QString> held;
    if (const TableData* t = reply.table("OFFICERGROUP"))
        for (const auto& row : t->rows)
            held.insert(row[std::size_t(t->fieldIndex("GRP_CD"))].toString());
    return held;
}

QStringList catalogueCodes(QSqlDatabase& db, const QString& type) {
    return column(
        db, "SELECT GRP_CD FROM VRD_GROUP WHERE REGION = 'NW' AND GRP_TYP_CD = ? ORDER BY GRP_CD",
        {type});
}

void addOfficer(QSqlDatabase& db, const QString& officer, const QStringList& codes) {
    column(db,
           "INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION, PWD_HASH) VALUES (?, ?, 'NW', 'h')",
           {officer, "Test officer " + officer});
    for (const auto& code : codes)
        column(db, "INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)", {officer, code});
}

} // namespace zavek::testing
