// Kills a process at random moments while it saves in a loop, and checks after each kill that
// the store is whole and that every officer's memberships are what the audit log says: all of
// a save or nothing, exactly one agency. SQLite: a file; PostgreSQL: the server keeps running.
// ZAVEK_KILLS sets the number of kills (20 by default; ./zavek test --kills 100).

#include "tests/postgres/test_database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace zavek::testing {
namespace {

constexpr int kOfficers = 20;
using Memberships = std::map<QString, std::set<QString>>;

Memberships readMemberships(QSqlDatabase& db) {
    Memberships m;
    QSqlQuery q(db);
    q.exec(u"SELECT INSP_ID, GRP_CD FROM OFFICER_GROUP WHERE INSP_ID LIKE 'KILL%'"_s);
    while (q.next())
        m[q.value(0).toString()].insert(q.value(1).toString());
    return m;
}

class KillHarness : public ::testing::TestWithParam<Engine> {
protected:
    TestDatabase database{GetParam()};

    // What is wrong with the store now; empty when nothing is.
    QString problems(const Memberships& initial, const QStringList& agencies) {
        Connection c(database.location());
        // The killed client's server process may still be ending its transaction.
        QElapsedTimer waited;
        waited.start();
        while (GetParam() == Engine::Postgres && waited.elapsed() < 10000 &&
               scalarOf(c.db(), u"SELECT COUNT(*) FROM pg_stat_activity WHERE "
                                "datname = current_database() AND pid <> "
                                "pg_backend_pid()"_s) != 0)
            QThread::msleep(20);
        QStringList found;
        QSqlQuery q(c.db());
        if (GetParam() == Engine::Sqlite && q.exec(u"PRAGMA integrity_check"_s) && q.next() &&
            q.value(0).toString() != u"ok")
            found << u"integrity_check says "_s + q.value(0).toString();
        Memberships replay = initial;
        q.exec(u"SELECT INSP_ID, GRP_CD, ACTION FROM AUDIT_LOG WHERE INSP_ID LIKE "
               "'KILL%' ORDER BY AUDIT_ID"_s);
        while (q.next()) {
            auto& held = replay[q.value(0).toString()];
            if (q.value(2).toString() == u"ADD")
                held.insert(q.value(1).toString());
            else if (q.value(2).toString() == u"DEL")
                held.erase(q.value(1).toString());
        }
        std::erase_if(replay, [](const auto& entry) { return entry.second.empty(); });
        const Memberships stored = readMemberships(c.db());
        if (stored != replay)
            found << u"the memberships differ from the replayed audit log"_s;
        for (const auto& [officer, held] : stored) {
            const auto n = std::count_if(held.begin(), held.end(), [&](const QString& code) {
                return agencies.contains(code);
            });
            if (n != 1)
                found << u"%1 has %2 agencies"_s.arg(officer).arg(n);
        }
        return found.join(u"; "_s);
    }
};

TEST_P(KillHarness, EveryKillLeavesAWholeStoreThatMatchesTheAuditLog) {
    ZAVEK_REQUIRE_DATABASE(database);
    Memberships initial;
    QStringList agencies;
    QString token;
    {
        Connection c(database.location());
        token = seededSession(c.db());
        agencies = catalogueCodes(c.db(), u"A"_s);
        for (int i = 0; i < kOfficers; ++i)
            addOfficer(c.db(), u"KILL%1"_s.arg(i, 3, 10, QLatin1Char('0')),
                       {agencies[i % agencies.size()]});
        initial = readMemberships(c.db());
    }
    const QString saver = QCoreApplication::applicationDirPath() + u"/zavek_kill_saver"_s;
    std::mt19937 random(20261207);
    const int kills = qEnvironmentVariableIntValue("ZAVEK_KILLS") > 0
                          ? qEnvironmentVariableIntValue("ZAVEK_KILLS")
                          : 20;
    for (int kill = 1; kill <= kills; ++kill) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"ZAVEK_KILL_TOKEN"_s, token);
        process.setProcessEnvironment(environment);
        process.start(saver, {database.location(), QString::number(kOfficers)});
        ASSERT_TRUE(process.waitForStarted(10000)) << saver.toStdString();
        ASSERT_TRUE(process.waitForReadyRead(30000))
            << "kill " << kill << ": the saver never saved (exit " << process.exitCode()
            << "): " << process.readAllStandardError().toStdString();
        QThread::msleep(std::uniform_int_distribution<unsigned>(0, 120)(random));
        process.kill();
        ASSERT_TRUE(process.waitForFinished(10000));
        ASSERT_EQ(process.exitStatus(), QProcess::CrashExit) << "kill " << kill;
        const QString found = problems(initial, agencies);
        ASSERT_TRUE(found.isEmpty()) << "kill " << kill << ": " << found.toStdString();
    }
    Connection c(database.location()); // the saves were made, not all refused
    EXPECT_GE(scalarOf(c.db(), u"SELECT COUNT(*) FROM AUDIT_LOG WHERE INSP_ID LIKE "
                               "'KILL%'"_s),
              kills);
}

ZAVEK_BOTH_DATABASES(KillHarness);

} // namespace
} // namespace zavek::testing
