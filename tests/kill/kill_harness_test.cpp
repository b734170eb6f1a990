// Kills a process at random moments while it saves in a loop, and checks after each kill that
// the store is whole and that every officer's memberships are what the audit log says: all of
// a save or nothing, exactly one agency. SQLite: a file; PostgreSQL: the server keeps running.
// ZAVEK_KILLS sets the number of kills (20 by default; ./zavek test --kills 100).

#include "backend/sql.h"
#include "tests/postgres/test_database.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace zavek::testing {
namespace {

using KillHarness = ::testing::TestWithParam<Engine>;

TEST_P(KillHarness, EveryKillLeavesAWholeStoreThatMatchesTheAuditLog) {
    TestDatabase database(GetParam());
    ZAVEK_REQUIRE_DATABASE(database);
    auto id = [](int i) { return QStringLiteral("KILL%1").arg(i, 3, 10, QChar('0')); };
    Connection c(database.location());
    const QString token = seededSession(c.db());
    const QStringList agencies = catalogueCodes(c.db(), "A");
    std::map<QString, std::set<QString>> initial;
    for (int i = 0; i < 20; ++i) {
        addOfficer(c.db(), id(i), {agencies[i % 3]});
        initial[id(i)] = {agencies[i % 3]};
    }
    const int kills = qEnvironmentVariable("ZAVEK_KILLS", "20").toInt();
    std::mt19937 random(20261207);
    qputenv("ZAVEK_KILL_TOKEN", token.toUtf8());
    for (int kill = 1; kill <= kills; ++kill) {
        QProcess saver;
        saver.start(QCoreApplication::applicationDirPath() + "/zavek_kill_saver",
                    {database.location(), "20"});
        ASSERT_TRUE(saver.waitForReadyRead(30000)) << "kill " << kill << ": the saver never saved";
        QThread::msleep(std::uniform_int_distribution<unsigned>(0, 120)(random));
        saver.kill();
        ASSERT_TRUE(saver.waitForFinished(10000) && saver.exitStatus() == QProcess::CrashExit);
        // The killed client's server process may still be ending its transaction.
        (void)QTest::qWaitFor([&] {
            return GetParam() == Engine::Sqlite ||
                   backend::scalar(c.db(), "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = "
                                           "current_database() AND pid <> pg_backend_pid()") == 0;
        });
        QSqlQuery q(c.db());
        ASSERT_TRUE(GetParam() == Engine::Postgres ||
                    (q.exec("PRAGMA integrity_check") && q.next() && q.value(0) == "ok"));
        auto replay = initial;
        q.exec("SELECT INSP_ID, GRP_CD, ACTION FROM AUDIT_LOG WHERE INSP_ID LIKE 'KILL%' AND "
               "ACTION IN ('ADD', 'DEL') ORDER BY AUDIT_ID");
        while (q.next())
            q.value(2) == "ADD" ? void(replay[q.value(0).toString()].insert(q.value(1).toString()))
                                : void(replay[q.value(0).toString()].erase(q.value(1).toString()));
        for (const auto& [officer, held] : replay) {
            ASSERT_EQ(storedMemberships(c.db(), officer), held)
                << "kill " << kill << ": " << officer.toStdString()
                << " differs from the audit log";
            ASSERT_EQ(std::ranges::count_if(held, [&](auto& g) { return agencies.contains(g); }), 1)
                << "kill " << kill << ": agencies of " << officer.toStdString();
        }
    }
    // The saves were made, not all refused.
    EXPECT_GE(backend::scalar(c.db(), "SELECT COUNT(*) FROM AUDIT_LOG WHERE INSP_ID LIKE 'KILL%'")
                  .toInt(),
              kills);
}

ZAVEK_BOTH_DATABASES(KillHarness);

} // namespace
} // namespace zavek::testing
