#include "tests/backend/backend_fixture.h"

#include "backend/database.h"
#include "backend/password.h"
#include "backend/schema.h"
#include "common/failure.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace zavek::backend::testing {

void BackendFixture::SetUp() {
    migrate(db_);
    // Hashing costs a good part of a second, so the fixture does it once per run and opens the
    // session itself.
    static const QString hash = hashPassword(QStringLiteral("secret"));
    session_ = {newSessionToken(), QStringLiteral("admin"), QStringLiteral("Demo Administrator"),
                QStringLiteral("NW")};
    const QString sql = QStringLiteral(
        "INSERT INTO VRD_GROUP VALUES ('NW', 'P', 'CFR', 'Case File Read'), ('NW', 'P', 'CFU', "
        "'Case File Update'), ('NW', 'P', 'WAP', 'Warrant Approval'), ('NW', 'A', 'BIS', 'Border "
        "Inspection Service'), ('NW', 'A', 'CUS', 'Customs Enforcement'), ('SE', 'P', 'ELA', "
        "'Evidence Locker Access'), ('SE', 'A', 'HPS', 'Harbour Police Service');"
        "INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION, PWD_HASH) VALUES ('NW00123', 'Marta "
        "Moreau', 'NW', 'h'), ('SE00200', 'Wei Xu', 'SE', 'h');"
        "INSERT INTO OFFICER_GROUP VALUES ('NW00123', 'CFR'), ('NW00123', 'BIS'), ('SE00200', "
        "'HPS');"
        "INSERT INTO ADMINISTRATOR VALUES ('admin', 'Demo Administrator', 'NW', '%1');"
        "INSERT INTO ADMIN_SESSION VALUES ('%2', 'admin', 'NW', '%3', '%3', '%4')");
    const QString now = storedTime(clock_.now());
    for (const QString& statement :
         sql.arg(hash, tokenDigest(session_.token), now, storedTime(clock_.now().addSecs(8 * 3600)))
             .split(u';'))
        execute(db_, statement);
}

QString BackendFixture::dump() {
    QString out;
    for (const char* table : {"OFFICER ORDER BY INSP_ID", "OFFICER_GROUP ORDER BY INSP_ID, GRP_CD",
                              "AUDIT_LOG ORDER BY AUDIT_ID"}) {
        QSqlQuery q(db_);
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM ") + QLatin1String(table)));
        while (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                out += q.value(i).toString() + (i + 1 < q.record().count() ? u'|' : u'\n');
    }
    return out;
}

MessageData BackendFixture::retrieval(const QString& id) const {
    return zavek::testing::retrievalRequest(session_.token, id, "msg-1");
}

MessageData BackendFixture::save(const QString& id, const QString& changes, bool reset) const {
    std::vector<zavek::testing::Change> list;
    for (const QString& change : changes.split(u',', Qt::SkipEmptyParts))
        list.push_back({change.mid(1), change.startsWith(u'+') ? "ADD" : "DEL"});
    return zavek::testing::saveRequest(session_.token, id, list, "msg-1", reset);
}

QString BackendFixture::codes(const MessageData& reply) {
    QStringList out;
    if (const TableData* t = reply.table(QStringLiteral("OFFICERGROUP")))
        for (const auto& row : t->rows)
            out << row[static_cast<std::size_t>(t->fieldIndex(QStringLiteral("GRP_CD")))]
                       .toString();
    return out.join(u' ');
}

QString BackendFixture::signIn(const QString& id, const QString& password) {
    const auto failure =
        attempt([&] { signedIn = Authenticator(db_, clock_).signIn(id, password); });
    return failure ? failure->description() : QString();
}

MessageData BackendFixture::send(const MessageData& m) {
    return RequestProcessor(db_, clock_).process(m);
}

} // namespace zavek::backend::testing
