// Kills a process at random moments while it saves in a loop, and checks after each kill that
// the store is whole and that every officer's memberships are what the audit log says: all of
// a save or nothing, exactly one agency. SQLite: a file; PostgreSQL: the server keeps running.
// ZAVEK_KILLS sets the number of kills (20 by default; ./zavek test --kills 100).

#include "backend/authenticator.h"
#include "backend/demo_data.h"
#include "backend/schema.h"
#include "tests/postgres/requests.h"
#include "tests/postgres/test_database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QThread>

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace zavek::testing {
namespace {

constexpr int kOfficers = 20;
using Memberships = std::map<QString, std::set<QString>>;

Memberships readMemberships(QSqlDatabase& db) {
    Memberships m;
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT INSP_ID, GRP_CD FROM OFFICER_GROUP WHERE INSP_ID LIKE 'KILL%'"));
    while (q.next())
        m[q.value(0).toString()].insert(q.value(1).toString());
    return m;
}

int killCount() {
    const int n = qEnvironmentVariableIntValue("ZAVEK_KILLS");
    return n > 0 ? n : 20;
}

class KillHarness : public ::testing::TestWithParam<Engine> {
protected:
    TestDatabase database{GetParam()};

    // What is wrong with the store now; empty when nothing is.
    QString problems(const Memberships& initial, const QSet<QString>& agencies, int& audited) {
        Connection c(database.location());
        QStringList found;
        if (GetParam() == Engine::Sqlite) {
            QSqlQuery check(c.db());
            check.exec(QStringLiteral("PRAGMA integrity_check"));
            const QString result = check.next() ? check.value(0).toString() : QString();
            if (result != u"ok")
                found << QStringLiteral("integrity_check says ") + result;
        }
        Memberships replay = initial;
        QSqlQuery audit(c.db());
        audit.exec(QStringLiteral("SELECT INSP_ID, GRP_CD, ACTION FROM AUDIT_LOG WHERE INSP_ID "
                                  "LIKE 'KILL%' ORDER BY AUDIT_ID"));
        audited = 0;
        while (audit.next()) {
            ++audited;
            auto& held = replay[audit.value(0).toString()];
            if (audit.value(2).toString() == u"ADD")
                held.insert(audit.value(1).toString());
            else if (audit.value(2).toString() == u"DEL")
                held.erase(audit.value(1).toString());
        }
        std::erase_if(replay, [](const auto& entry) { return entry.second.empty(); });
        const Memberships stored = readMemberships(c.db());
        if (stored != replay)
            found << QStringLiteral("the memberships differ from the replayed audit log");
        for (const auto& [officer, held] : stored) {
            int n = 0;
            for (const auto& code : held)
                n += agencies.contains(code) ? 1 : 0;
            if (n != 1)
                found << QStringLiteral("%1 has %2 agencies").arg(officer).arg(n);
        }
        return found.join(QStringLiteral("; "));
    }

    // The killed client's server process may still be ending its transaction.
    void waitForOtherSessionsToEnd(QSqlDatabase& db) {
        if (GetParam() != Engine::Postgres)
            return;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = "
                                  "current_database() AND pid <> pg_backend_pid()"));
            if (q.next() && q.value(0).toInt() == 0)
                return;
            QThread::msleep(20);
        }
    }
};

TEST_P(KillHarness, EveryKillLeavesAWholeStoreThatMatchesTheAuditLog) {
    ZAVEK_REQUIRE_DATABASE(database);
    Memberships initial;
    QSet<QString> agencies;
    QString token;
    {
        Connection c(database.location());
        backend::migrate(c.db());
        backend::seedDemoData(c.db());
        const QStringList a = catalogueCodes(c.db(), QStringLiteral("NW"), QStringLiteral("A"));
        agencies = QSet<QString>(a.begin(), a.end());
        for (int i = 0; i < kOfficers; ++i)
            addOfficer(c.db(), QStringLiteral("KILL%1").arg(i, 3, 10, QLatin1Char('0')),
                       {a[i % a.size()]});
        initial = readMemberships(c.db());
        token = backend::Authenticator(c.db())
                    .signIn(QString::fromLatin1(backend::kDemoAdminId),
                            QString::fromLatin1(backend::kDemoAdminPassword))
                    .token;
    }
    const QString saver =
        QCoreApplication::applicationDirPath() + QStringLiteral("/zavek_kill_saver");
    std::mt19937 random(20261207);
    int audited = 0;
    int previous = 0;
    int killedWhileSaving = 0;
    const int kills = killCount();
    for (int kill = 1; kill <= kills; ++kill) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("ZAVEK_KILL_TOKEN"), token);
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
        {
            Connection c(database.location());
            waitForOtherSessionsToEnd(c.db());
        }
        const QString found = problems(initial, agencies, audited);
        ASSERT_TRUE(found.isEmpty()) << "kill " << kill << ": " << found.toStdString();
        killedWhileSaving += audited > previous ? 1 : 0;
        previous = audited;
    }
    std::printf("%s: %d kills survived, %d audited changes, %d kills after at least one more "
                "save\n",
                engineName(GetParam()), kills, audited, killedWhileSaving);
}

INSTANTIATE_TEST_SUITE_P(BothDatabases, KillHarness,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(engineName(info.param)); });

} // namespace
} // namespace zavek::testing
