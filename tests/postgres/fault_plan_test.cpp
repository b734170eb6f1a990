// A save of ten changes and a password reset, with its N-th statement made to fail, for every
// N from the first statement to the last, on both databases: the reply says saved exactly when
// the store changed, the store is otherwise as before, and the reply shows what is stored.

#include "backend/authenticator.h"
#include "backend/demo_data.h"
#include "backend/request_processor.h"
#include "backend/schema.h"
#include "backend/sql.h"
#include "tests/postgres/requests.h"
#include "tests/postgres/test_database.h"
#include "tests/support/fake_clock.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <optional>

namespace zavek::testing {
namespace {

const QString kOfficer = QStringLiteral("FAULT01");

enum class Fault {
    Broken,        // the statement fails as a broken disk or a lost connection would
    Conflict,      // another transaction got in the way once (PostgreSQL retries it)
    ConflictAlways // ... every time from then on
};

class StatementFaults final : public backend::IStatementFaults {
public:
    void beforeStatement(const QString& sql) override {
        ++seen_;
        statements_ << sql;
        if (failAt_ == 0 || seen_ < failAt_ || (seen_ > failAt_ && fault_ != Fault::ConflictAlways))
            return;
        if (fault_ == Fault::Broken)
            throw backend::SqlFailure(QStringLiteral("injected"), QStringLiteral("58030"),
                                      QStringLiteral("injected input/output error"));
        throw backend::SqlFailure(QStringLiteral("injected"), QStringLiteral("40001"),
                                  QStringLiteral("could not serialize access"));
    }
    void arm(int failAt, Fault fault) {
        failAt_ = failAt;
        fault_ = fault;
        seen_ = 0;
        statements_.clear();
    }
    int seen() const { return seen_; }
    const QStringList& statements() const { return statements_; }

private:
    int failAt_ = 0;
    Fault fault_ = Fault::Broken;
    int seen_ = 0;
    QStringList statements_;
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
        backend::migrate(db());
        backend::seedDemoData(db());
        const QStringList a = catalogueCodes(db(), QStringLiteral("NW"), QStringLiteral("A"));
        const QStringList p = catalogueCodes(db(), QStringLiteral("NW"), QStringLiteral("P"));
        ASSERT_GE(p.size(), 9);
        initial = {a[0], p[0], p[1], p[2], p[3]};
        for (int i = 0; i < 4; ++i)
            changes.push_back({p[i], QStringLiteral("DEL")});
        for (int i = 5; i < 9; ++i)
            changes.push_back({p[i], QStringLiteral("ADD")});
        changes.push_back({a[0], QStringLiteral("DEL")});
        changes.push_back({a[1], QStringLiteral("ADD")});
        ASSERT_EQ(changes.size(), 10u);
        addOfficer(db(), kOfficer, initial);
        session = backend::Authenticator(db(), clock)
                      .signIn(QString::fromLatin1(backend::kDemoAdminId),
                              QString::fromLatin1(backend::kDemoAdminPassword))
                      .token;
    }
    QSqlDatabase& db() { return connection->db(); }

    void restore() {
        QSqlQuery q(db());
        q.exec(QStringLiteral("DELETE FROM OFFICER_GROUP WHERE INSP_ID = 'FAULT01'"));
        q.exec(QStringLiteral("DELETE FROM AUDIT_LOG"));
        q.exec(QStringLiteral("UPDATE OFFICER SET PWD_HASH = 'h', MUST_CHANGE_PWD = 0 WHERE "
                              "INSP_ID = 'FAULT01'"));
        for (const auto& code : initial) {
            q.prepare(QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));
            q.addBindValue(kOfficer);
            q.addBindValue(code);
            q.exec();
        }
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
            while (q.next()) {
                for (int i = 0; i < q.record().count(); ++i)
                    out += q.value(i).toString() + u'|';
                out += u'\n';
            }
        }
        return out;
    }

    MessageData request() {
        MessageData m = saveRequest(session, kOfficer, changes, QStringLiteral("fault-save"));
        TableData setup;
        setup.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("INITIAL"),
                                   QStringLiteral("ACTION")};
        setup.rows.push_back({kOfficer, QStringLiteral("Y"), QStringLiteral("RESET")});
        m.tables.push_back({QStringLiteral("SETUP"), setup});
        return m;
    }
};

TEST_P(NthStatementFails, EverySaveIsAllOrNothingAndTheReplyTellsTheTruth) {
    StatementFaults faults;
    backend::RequestProcessor processor(db(), clock);
    processor.setStatementFaults(&faults);

    restore();
    const QString before = state();
    faults.arm(0, Fault::Broken);
    const MessageData clean = processor.process(request());
    ASSERT_TRUE(clean.errorText.isEmpty()) << clean.errorText.toStdString();
    const QString after = state();
    const std::set<QString> saved = storedMemberships(db(), kOfficer);
    ASSERT_EQ(heldInReply(clean), saved);
    const int statements = faults.seen();
    const QStringList names = faults.statements();
    ASSERT_GE(statements, 40);

    int failures = 0;
    for (Fault fault : {Fault::Broken, Fault::Conflict, Fault::ConflictAlways}) {
        for (int n = 1; n <= statements; ++n) {
            restore();
            ASSERT_EQ(state(), before);
            faults.arm(n, fault);
            const MessageData reply = processor.process(request());
            const QString now = state();
            const std::string where = "statement " + std::to_string(n) + " (" +
                                      names[n - 1].left(60).toStdString() + "), fault " +
                                      std::to_string(static_cast<int>(fault));
            const bool saidSaved = reply.errorText.isEmpty();
            EXPECT_EQ(saidSaved, now != before) << where << ": " << reply.errorText.toStdString();
            EXPECT_EQ(now, saidSaved ? after : before) << where;
            // Only a request whose session could not be checked gets no table.
            if (n > 1 && fault != Fault::ConflictAlways) {
                EXPECT_EQ(heldInReply(reply), storedMemberships(db(), kOfficer))
                    << where << ": " << reply.errorText.toStdString();
            }
            if (!saidSaved) {
                ++failures;
                EXPECT_FALSE(reply.errorText.contains(QLatin1String("INSERT")) ||
                             reply.errorText.contains(QLatin1String("QPSQL")))
                    << where << ": " << reply.errorText.toStdString();
            }
            const bool retried = fault == Fault::Conflict && GetParam() == Engine::Postgres &&
                                 names[n - 1] != names[0];
            if (retried) {
                EXPECT_TRUE(saidSaved) << where << ": " << reply.errorText.toStdString();
            }
            if (fault == Fault::ConflictAlways && n > 2) {
                EXPECT_EQ(reply.errorText,
                          QStringLiteral("Another administrator was saving this officer at the "
                                         "same moment, so nothing was saved; save again."))
                    << where;
            }
        }
    }
    std::printf("%s: %d statements, %d x 3 failures injected, %d refused, all or nothing held\n",
                engineName(GetParam()), statements, statements, failures);
}

INSTANTIATE_TEST_SUITE_P(BothDatabases, NthStatementFails,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(engineName(info.param)); });

} // namespace
} // namespace zavek::testing
