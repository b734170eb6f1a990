#include "tests/backend/backend_fixture.h"

#include "backend/database.h"
#include "backend/password.h"
#include "backend/schema.h"
#include "backend/sql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace zavek::backend::testing {

void BackendFixture::SetUp() {
    connection_ =
        QStringLiteral("backend-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    db_ = openDatabase(dir_.filePath(QStringLiteral("t.sqlite")), connection_);
    migrate(db_);
    for (const char* sql : {
             "INSERT INTO VRD_GROUP VALUES ('NW', 'P', 'CFR', 'Case File Read')",
             "INSERT INTO VRD_GROUP VALUES ('NW', 'P', 'CFU', 'Case File Update')",
             "INSERT INTO VRD_GROUP VALUES ('NW', 'P', 'WAP', 'Warrant Approval')",
             "INSERT INTO VRD_GROUP VALUES ('NW', 'A', 'BIS', 'Border Inspection Service')",
             "INSERT INTO VRD_GROUP VALUES ('NW', 'A', 'CUS', 'Customs Enforcement')",
             "INSERT INTO VRD_GROUP VALUES ('SE', 'P', 'ELA', 'Evidence Locker Access')",
             "INSERT INTO VRD_GROUP VALUES ('SE', 'A', 'HPS', 'Harbour Police Service')",
             "INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION, PWD_HASH) VALUES ('NW00123', "
             "'Marta Moreau', 'NW', 'h')",
             "INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION, PWD_HASH) VALUES ('SE00200', "
             "'Wei Xu', 'SE', 'h')",
             "INSERT INTO OFFICER_GROUP VALUES ('NW00123', 'CFR')",
             "INSERT INTO OFFICER_GROUP VALUES ('NW00123', 'BIS')",
             "INSERT INTO OFFICER_GROUP VALUES ('SE00200', 'HPS')",
         })
        exec(QString::fromLatin1(sql));
    // Hashing costs a good part of a second, so the fixture does it once per run; the session
    // is opened by the Authenticator's own tests.
    static const QString hash = hashPassword(QStringLiteral("secret"));
    exec(QStringLiteral("INSERT INTO ADMINISTRATOR VALUES ('admin', 'Demo Administrator', 'NW', "
                        "'%1')")
             .arg(hash));
    session_ = {newSessionToken(), QStringLiteral("admin"), QStringLiteral("Demo Administrator"),
                QStringLiteral("NW")};
    const QString now = storedTime(clock_.now());
    exec(QStringLiteral("INSERT INTO ADMIN_SESSION VALUES ('%1', 'admin', 'NW', '%2', '%2', '%3')")
             .arg(tokenDigest(session_.token), now, storedTime(clock_.now().addSecs(8 * 3600))));
}

void BackendFixture::TearDown() {
    db_ = QSqlDatabase();
    closeDatabase(connection_);
}

void BackendFixture::exec(const QString& sql) {
    QSqlQuery q(db_);
    ASSERT_TRUE(q.exec(sql)) << sql.toStdString() << ": " << q.lastError().text().toStdString();
}

QString BackendFixture::dump() {
    QString out;
    for (const char* sql : {"SELECT * FROM OFFICER ORDER BY INSP_ID",
                            "SELECT * FROM OFFICER_GROUP ORDER BY INSP_ID, GRP_CD",
                            "SELECT * FROM AUDIT_LOG ORDER BY AUDIT_ID"}) {
        QSqlQuery q(db_);
        EXPECT_TRUE(q.exec(QString::fromLatin1(sql)));
        while (q.next()) {
            for (int i = 0; i < q.record().count(); ++i)
                out += q.value(i).toString() + QLatin1Char('|');
            out += QLatin1Char('\n');
        }
    }
    return out;
}

MessageData BackendFixture::retrieval(const QString& id) const {
    MessageData m;
    m.replyTo = QStringLiteral("doc-1");
    m.clientVersion = QStringLiteral("1.0");
    m.messageType = 2;
    m.sessionId = session_.token;
    m.messageId = QStringLiteral("msg-1");
    m.criteria.push_back(
        {QStringLiteral("QUILLMOR"), QStringLiteral("key:INSP_ID"), QStringLiteral("="), id});
    return m;
}

MessageData BackendFixture::save(const QString& id,
                                 const std::vector<std::pair<QString, QString>>& changes,
                                 bool reset) const {
    MessageData m;
    m.replyTo = QStringLiteral("doc-1");
    m.messageType = 3;
    m.sessionId = session_.token;
    m.messageId = QStringLiteral("msg-1");
    TableData groups;
    groups.fields =
        QStringList{QStringLiteral("GRP_CD"), QStringLiteral("INSP_ID"), QStringLiteral("ACTION")};
    for (const auto& [code, action] : changes)
        groups.rows.push_back({code, id, action});
    m.tables.push_back({QStringLiteral("OFFICERGROUP"), groups});
    if (reset) {
        TableData setup;
        setup.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("INITIAL"),
                                   QStringLiteral("ACTION")};
        setup.rows.push_back({id, QStringLiteral("Y"), QStringLiteral("RESET")});
        m.tables.push_back({QStringLiteral("SETUP"), setup});
    }
    return m;
}

std::vector<QString> BackendFixture::codes(const MessageData& reply) {
    std::vector<QString> out;
    const TableData* t = reply.table(QStringLiteral("OFFICERGROUP"));
    if (!t)
        return out;
    const int index = t->fieldIndex(QStringLiteral("GRP_CD"));
    for (const auto& row : t->rows)
        out.push_back(row[static_cast<std::size_t>(index)].toString());
    return out;
}

int BackendFixture::auditRows(const QString& action) {
    QSqlQuery q(db_);
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM AUDIT_LOG WHERE ACTION = ?"));
    q.addBindValue(action);
    EXPECT_TRUE(q.exec());
    q.next();
    return q.value(0).toInt();
}

} // namespace zavek::backend::testing
