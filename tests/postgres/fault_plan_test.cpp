// A save of ten changes and a password reset, with its N-th statement made to fail, for every
// N from the first statement to the last, on both databases: the reply says saved exactly when
// the store changed, the store is otherwise as before, and the reply shows what is stored.

#include "backend/request_processor.h"
#include "tests/postgres/test_database.h"
#include "tests/support/fake_clock.h"

#include <gtest/gtest.h>

namespace zavek::testing {
namespace {

enum Fault { Broken, Conflict, ConflictAlways }; // a broken disk; a conflict once; every time

struct StatementFaults final : backend::IStatementFaults {
    int failAt = 0; // 0: none
    Fault fault = Broken;
    QStringList seen;
    void beforeStatement(const QString& sql) override {
        seen << sql;
        if (failAt == 0 || seen.size() < failAt ||
            (seen.size() > failAt && fault != ConflictAlways))
            return;
        throw fault == Broken
            ? backend::SqlFailure("injected", "58030", "injected input/output error")
            : backend::SqlFailure("injected", "40001", "could not serialize access");
    }
};

using NthStatementFails = ::testing::TestWithParam<Engine>;

TEST_P(NthStatementFails, EverySaveIsAllOrNothingAndTheReplyTellsTheTruth) {
    TestDatabase database(GetParam());
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    FakeClock clock;
    const QString session = seededSession(c.db(), clock);
    const QStringList a = catalogueCodes(c.db(), "A"), p = catalogueCodes(c.db(), "P");
    const QStringList initial = {a[0], p[0], p[1], p[2], p[3]};
    std::vector<Change> changes{{a[0], "DEL"}, {a[1], "ADD"}};
    for (int i = 0; i < 4; ++i)
        changes.insert(changes.end(), {{p[i], "DEL"}, {p[i + 5], "ADD"}});
    const MessageData request = saveRequest(session, "FAULT01", changes, "fault-save", true);
    auto restore = [&] {
        for (const char* sql :
             {"DELETE FROM AUDIT_LOG", "DELETE FROM OFFICER_GROUP WHERE INSP_ID = 'FAULT01'",
              "DELETE FROM OFFICER WHERE INSP_ID = 'FAULT01'"})
            backend::execute(c.db(), sql);
        addOfficer(c.db(), "FAULT01", initial);
    };
    // Memberships, the hash and the reset flag, and the audit rows, as one text.
    auto state = [&] {
        QStringList out;
        for (const char* sql :
             {"SELECT GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = 'FAULT01' ORDER BY GRP_CD",
              "SELECT COALESCE(PWD_HASH, '-') || '|' || MUST_CHANGE_PWD FROM OFFICER WHERE INSP_ID "
              "= 'FAULT01'",
              "SELECT INSP_ID || '|' || COALESCE(GRP_CD, '-') || '|' || ACTION || '|' || "
              "MESSAGE_ID FROM AUDIT_LOG ORDER BY AUDIT_ID"})
            out += column(c.db(), sql);
        return out.join(u'\n');
    };
    StatementFaults faults;
    backend::RequestProcessor processor(c.db(), clock);
    processor.setStatementFaults(&faults);
    restore();
    const QString before = state();
    const MessageData clean = processor.process(request);
    ASSERT_TRUE(clean.errorText.isEmpty()) << clean.errorText.toStdString();
    const QString after = state();
    ASSERT_EQ(heldInReply(clean), storedMemberships(c.db(), "FAULT01"));
    const QStringList names = faults.seen;
    ASSERT_GE(names.size(), 40);
    for (Fault fault : {Broken, Conflict, ConflictAlways})
        for (int n = 1; n <= names.size(); ++n) {
            restore();
            faults.failAt = n, faults.fault = fault, faults.seen.clear();
            const MessageData reply = processor.process(request);
            const QString now = state();
            const std::string where = names[n - 1].left(60).toStdString() + ", fault " +
                                      std::to_string(fault) + ": " + reply.errorText.toStdString();
            const bool saidSaved = reply.errorText.isEmpty();
            EXPECT_EQ(now, saidSaved ? after : before) << where;
            EXPECT_TRUE(saidSaved == (now != before) && !reply.errorText.contains("INSERT") &&
                        !reply.errorText.contains("QPSQL"))
                << where;
            // Only a request whose session could not be checked gets no table.
            EXPECT_TRUE(n == 1 || fault == ConflictAlways ||
                        heldInReply(reply) == storedMemberships(c.db(), "FAULT01"))
                << where;
            EXPECT_TRUE(saidSaved || fault != Conflict || GetParam() == Engine::Sqlite ||
                        names[n - 1] == names[0])
                << where << " was not retried";
            EXPECT_TRUE(fault != ConflictAlways || n <= 2 ||
                        reply.errorText == "Another administrator was saving this officer at the "
                                           "same moment, so nothing was saved; save again.")
                << where;
        }
}

ZAVEK_BOTH_DATABASES(NthStatementFails);

} // namespace
} // namespace zavek::testing
