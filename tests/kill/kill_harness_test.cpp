// Kills a process at random moments while it saves in a loop, and checks after each kill that
// the store is whole and that every officer's memberships are what the audit log says: all of
// a save or nothing, exactly one agency. SQLite: a file; PostgreSQL: the server keeps running.
// ZAVEK_KILLS sets the number of kills (20 by default; ./zavek test --kills 100).

#include "backend/sql.h"
#include "tests/postgres/test_database.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

#include <random>

namespace zavek::testing {
namespace {

using KillHarness = ::testing::TestWithParam<Engine>;

TEST_P(KillHarness, EveryKillLeavesAWholeStoreThatMatchesTheAuditLog) {
    TestDatabase database(GetParam());
    ZAVEK_REQUIRE_DATABASE(database);
    Connection c(database.location());
    const QString token = seededSession(c.db());
    const QStringList agencies = catalogueCodes(c.db(), "A");
    std::map<QString, std::set<QString>> initial;
    for (int i = 0; i < 20; ++i)
        initial[QStringLiteral("KILL%1").arg(i, 3, 10, QChar('0'))] = {agencies[i % 3]};
    for (const auto& [officer, held] : initial)
        addOfficer(c.db(), officer, {held.begin(), held.end()});
    const int kills = qEnvironmentVariable("ZAVEK_KILLS", "20").toInt();
    std::mt19937 random(20261207);
    std::size_t replayed = 0; // audit rows of the last kill
    for (int kill = 1; kill <= kills; ++kill) {
        QProcess saver;
        saver.start(QCoreApplication::applicationDirPath() + "/zavek_kill_saver",
                    {database.location(), "20", token});
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
        ASSERT_TRUE(GetParam() == Engine::Postgres ||
                    backend::scalar(c.db(), "PRAGMA integrity_check") == "ok");
        QSqlQuery q(c.db());
        auto replay = initial;
        q.exec("SELECT INSP_ID, GRP_CD, ACTION FROM AUDIT_LOG WHERE INSP_ID LIKE 'KILL%' AND "
               "ACTION IN ('ADD', 'DEL') ORDER BY AUDIT_ID");
        for (replayed = 0; q.next(); ++replayed)
            q.value(2) == "ADD" ? void(replay[q.value(0).toString()].insert(q.value(1).toString()))
                                : void(replay[q.value(0).toString()].erase(q.value(1).toString()));
        for (const auto& [officer, held] : replay) {
            ASSERT_EQ(storedMemberships(c.db(), officer), held) // as the audit log says
                << "kill " << kill << ": " << officer.toStdString();
            ASSERT_EQ(std::ranges::count_if(held, [&](auto& g) { return agencies.contains(g); }), 1)
                << "kill " << kill << ": agencies of " << officer.toStdString();
        }
    }
    EXPECT_GE(replayed, std::size_t(kills)); // the saves were made, not all refused
}

ZAVEK_BOTH_DATABASES(KillHarness);

} // namespace
} // namespace zavek::testing
