// A save of ten changes and a password reset, with its N-th statement made to fail, for every
// N from the first statement to the last, on both databases: the reply says saved exactly when
// the store changed, the store is otherwise as before, and the reply shows what is stored.

#include "backend/request_processor.h"
#include "backend/sql.h"
#include "tests/postgres/test_database.h"
#include "tests/support/fake_clock.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace zavek::testing {
namespace {

const QString kOfficer = u"FAULT01"_s;

enum class Fault {
    Broken,        // the statement fails as a broken disk or a lost connection would
    Conflict,      // another transaction got in the way once (PostgreSQL retries it)
    ConflictAlways // ... every time from then on
};

class StatementFaults final : public backend::IStatementFaults {
public:
    int failAt = 0; // 0: none
    Fault fault = Fault::Broken;
    QStringList seen;

    void beforeStatement(const QString& sql) override {
        seen << sql;
        const int n = static_cast<int>(seen.size());
        if (failAt == 0 || n < failAt || (n > failAt && fault != Fault::ConflictAlways))
            return;
        if (fault == Fault::Broken)
            throw backend::SqlFailure(u"injected"_s, u"58030"_s, u"injected input/output error"_s);
        throw backend::SqlFailure(u"injected"_s, u"40001"_s, u"could not serialize access"_s);
    }
};

class NthStatementFails : public ::testing::TestWithParam<Engine> {
protected:
    TestDatabase database{GetParam()};
    FakeClock clock;
    std::optional<Connection> connection;
    QString session;
    QStringList initial;
    std::vector<Change> changes;

    void SetUp() override {
        ZAVEK_REQUIRE_DATABASE(database);
        connection.emplace(database.location());
        session = seededSession(db(), clock);
        const QStringList a = catalogueCodes(db(), u"A"_s);
        const QStringList p = catalogueCodes(db(), u"P"_s);
        ASSERT_GE(p.size(), 9);
        initial = {a[0], p[0], p[1], p[2], p[3]};
        for (int i = 0; i < 4; ++i)
            changes.push_back({p[i], u"DEL"_s});
        for (int i = 5; i < 9; ++i)
            changes.push_back({p[i], u"ADD"_s});
        changes.push_back({a[0], u"DEL"_s});
        changes.push_back({a[1], u"ADD"_s});
        addOfficer(db(), kOfficer, initial);
    }
    QSqlDatabase& db() { return connection->db(); }

    void restore() {
        QSqlQuery q(db());
        q.exec(u"DELETE FROM OFFICER_GROUP WHERE INSP_ID = 'FAULT01'"_s);
        q.exec(u"DELETE FROM AUDIT_LOG"_s);
        q.exec(u"UPDATE OFFICER SET PWD_HASH = 'h', MUST_CHANGE_PWD = 0 WHERE "
               "INSP_ID = 'FAULT01'"_s);
        for (const auto& code : initial)
            q.exec(u"INSERT INTO OFFICER_GROUP VALUES ('FAULT01', '%1')"_s.arg(code));
    }

    // Memberships, the reset flag and the audit rows, as one text.
    QString state() {
        QString out;
        for (const char* sql :
             {"SELECT GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = 'FAULT01' ORDER BY GRP_CD",
              "SELECT PWD_HASH, MUST_CHANGE_PWD FROM OFFICER WHERE INSP_ID = 'FAULT01'",
              "SELECT INSP_ID, GRP_CD, ACTION, MESSAGE_ID FROM AUDIT_LOG ORDER BY AUDIT_ID"}) {
            QSqlQuery q(db());
            EXPECT_TRUE(q.exec(QString::fromLatin1(sql)));
            while (q.next())
                for (int i = 0; i < q.record().count(); ++i)
                    out += q.value(i).toString() + (i + 1 < q.record().count() ? u'|' : u'\n');
        }
        return out;
    }

    MessageData request() {
        MessageData m = saveRequest(session, kOfficer, changes, u"fault-save"_s);
        TableData setup;
        setup.fields = QStringList{u"INSP_ID"_s, u"INITIAL"_s, u"ACTION"_s};
        setup.rows.push_back({kOfficer, u"Y"_s, u"RESET"_s});
        m.tables.push_back({u"SETUP"_s, setup});
        return m;
    }
};

TEST_P(NthStatementFails, EverySaveIsAllOrNothingAndTheReplyTellsTheTruth) {
    StatementFaults faults;
    backend::RequestProcessor processor(db(), clock);
    processor.setStatementFaults(&faults);

    restore();
    const QString before = state();
    const MessageData clean = processor.process(request());
    ASSERT_TRUE(clean.errorText.isEmpty()) << clean.errorText.toStdString();
    const QString after = state();
    ASSERT_EQ(heldInReply(clean), storedMemberships(db(), kOfficer));
    const QStringList names = faults.seen;
    const int statements = static_cast<int>(names.size());
    ASSERT_GE(statements, 40);

    for (Fault fault : {Fault::Broken, Fault::Conflict, Fault::ConflictAlways})
        for (int n = 1; n <= statements; ++n) {
            restore();
            ASSERT_EQ(state(), before);
            faults.failAt = n;
            faults.fault = fault;
            faults.seen.clear();
            const MessageData reply = processor.process(request());
            const QString now = state();
            const std::string where = "statement " + std::to_string(n) + " (" +
                                      names[n - 1].left(60).toStdString() + "), fault " +
                                      std::to_string(static_cast<int>(fault)) + ": " +
                                      reply.errorText.toStdString();
            const bool saidSaved = reply.errorText.isEmpty();
            EXPECT_EQ(saidSaved, now != before) << where;
            EXPECT_EQ(now, saidSaved ? after : before) << where;
            // Only a request whose session could not be checked gets no table.
            if (n > 1 && fault != Fault::ConflictAlways) {
                EXPECT_EQ(heldInReply(reply), storedMemberships(db(), kOfficer)) << where;
            }
            EXPECT_FALSE(reply.errorText.contains(QLatin1String("INSERT")) ||
                         reply.errorText.contains(QLatin1String("QPSQL")))
                << where;
            if (fault == Fault::Conflict && GetParam() == Engine::Postgres &&
                names[n - 1] != names[0]) {
                EXPECT_TRUE(saidSaved) << where << " was not retried";
            }
            if (fault == Fault::ConflictAlways && n > 2) {
                EXPECT_EQ(reply.errorText, u"Another administrator was saving this officer at the "
                                           "same moment, so nothing was saved; save again."_s)
                    << where;
            }
        }
}

ZAVEK_BOTH_DATABASES(NthStatementFails);

} // namespace
} // namespace zavek::testing
