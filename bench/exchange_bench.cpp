// The exchange end to end on the embedded database: picking an officer until the lists show
// the groups, the officer's history of 10,000 audit rows until the view shows it, a save until
// its reply, and the close wait. The history is measured against the plain read of its rows. The
// pick is measured against the statements the back end runs for it, run directly on a connection to
// the same file; the save against its inserts, deletes and audit rows in one transaction.

#include "backend/authenticator.h"
#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/password.h"
#include "backend/schema.h"
#include "backend/worker_transport.h"
#include "bench/bench_support.h"
#include "common/message.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "common/shell_services.h"
#include "document/history_dialog.h"
#include "document/zavek_security.h"
#include "platform/fake_platform.h"
#include "platform/qt_platform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

using namespace zavek;

namespace {

const QString kUi = QStringLiteral("bench-ui");
const int kHistoryRows = zavek::bench::sized(10000, 20);

// Ends the waiting loop as soon as the status line starts with what is awaited.
class StatusHost final : public IShellHost {
public:
    void setStatusText(const QString& text) override {
        status = text;
        if (loop && !awaited.isEmpty() && text.startsWith(awaited))
            loop->quit();
    }
    void enableToolbarButton(std::int32_t, bool, const QString&) override {}
    void setShellEnabled(bool) override {}
    QString status;
    QString awaited;
    QEventLoop* loop = nullptr;
};

struct World {
    QTemporaryDir dir;
    QString location;
    StatusHost host;
    platform::FakePlatform fake;
    std::shared_ptr<backend::WorkerTransport> transport;
    QObject window;
    QObject container;
    std::unique_ptr<ZavekSecurity> doc;
    // The first officer of the signed-in administrator's region.
    QString officer;
    QString token;
    // Whether the next raw save adds the ten groups; kept across repetitions.
    bool rawAdds = true;

    World() : location(dir.filePath(QStringLiteral("bench.sqlite"))) {
        QSqlDatabase db = backend::openDatabase(location, kUi);
        backend::migrate(db);
        backend::seedDemoData(db);
        backend::Authenticator auth(db);
        const backend::Session session =
            auth.signIn(QStringLiteral("admin"), QStringLiteral("zavek-demo"));
        token = session.token;
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT MIN(INSP_ID) FROM OFFICER WHERE REGION = ?"));
        q.addBindValue(session.region);
        q.exec();
        q.next();
        officer = q.value(0).toString();
        // Fifty memberships for the measured officer.
        q.prepare(QStringLiteral("DELETE FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD IN "
                                 "(SELECT GRP_CD FROM VRD_GROUP WHERE GRP_TYP_CD = 'P')"));
        q.addBindValue(officer);
        q.exec();
        for (int i = 0; i < 60; ++i) {
            q.prepare(QStringLiteral("INSERT INTO VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD, GRP_DES) "
                                     "VALUES (?, 'P', ?, ?)"));
            q.addBindValue(session.region);
            q.addBindValue(QStringLiteral("B%1").arg(i, 2, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("Bench group %1").arg(i));
            q.exec();
            if (i < 50) {
                q.prepare(
                    QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"));
                q.addBindValue(officer);
                q.addBindValue(QStringLiteral("B%1").arg(i, 2, 10, QLatin1Char('0')));
                q.exec();
            }
        }
        // The history: one audit row per save, each save its own entry, the worst case for the
        // view; a group added and taken away by turns.
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, INSP_ID, GRP_CD, "
                                 "ACTION, MESSAGE_ID, REVISION) VALUES (?, 'admin', ?, 'B55', ?, "
                                 "'m', ?)"));
        const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-400);
        for (int i = 1; i <= kHistoryRows; ++i) {
            q.addBindValue(backend::storedTime(start.addSecs(i * 60)));
            q.addBindValue(officer);
            q.addBindValue(i % 2 ? QStringLiteral("ADD") : QStringLiteral("DEL"));
            q.addBindValue(i);
            q.exec();
        }
        q.prepare(QStringLiteral("UPDATE OFFICER SET REVISION = ? WHERE INSP_ID = ?"));
        q.addBindValue(kHistoryRows);
        q.addBindValue(officer);
        q.exec();
        db.commit();
        SessionInfo::Instance().establish(session.token, session.region, kUi);
        ShellServices::Instance().setHost(&host);
        transport = std::make_shared<backend::WorkerTransport>(location);
        MessageBus::Instance().setTransport(transport);
        window.setProperty("Tag", QStringLiteral("T"));
        window.setProperty("Caption", QStringLiteral("C"));
        container.setProperty("Parent", QVariant::fromValue<QObject*>(&window));
        doc = std::make_unique<ZavekSecurity>(DocumentContext{fake.platform()});
        doc->SetContainer(&container);
        doc->UserDocument_Show();
    }
    ~World() {
        doc.reset();
        MessageBus::Instance().setTransport(nullptr);
    }
    static std::unique_ptr<World>& instance() {
        static std::unique_ptr<World> w;
        return w;
    }
    static World& get() {
        if (!instance())
            instance() = std::make_unique<World>();
        return *instance();
    }
    // Selects the officer afresh and waits until the lists show the groups.
    void pick() {
        doc->exchange().ZAVEK_OfficerSelect1_ClearForm();
        doc->exchange().ZAVEK_OfficerSelect1_OfficerSelected(officer);
        waitForStatus(QStringLiteral("Displaying Security Group for "));
    }
    // Blocks in an event loop as the shell does: polling would take a core from the back end's
    // thread on a two-core machine.
    void waitForStatus(const QString& prefix) {
        host.status.clear();
        QEventLoop loop;
        QTimer bound;
        bound.setSingleShot(true);
        QObject::connect(&bound, &QTimer::timeout, &loop, &QEventLoop::quit);
        bound.start(10000);
        host.awaited = prefix;
        host.loop = &loop;
        loop.exec();
        host.loop = nullptr;
        host.awaited.clear();
        if (!host.status.startsWith(prefix)) {
            std::fprintf(
                stderr, "no reply; status is \"%s\", last box \"%s\"\n", qPrintable(host.status),
                fake.messageBox.shown().empty() ? ""
                                                : qPrintable(fake.messageBox.shown().back().text));
            std::abort();
        }
    }
};

double p99(const std::vector<double>& v) {
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    return s[static_cast<std::size_t>(0.99 * static_cast<double>(s.size() - 1))];
}

const int kRepetitions = bench::sized(60, 2);

// Each case times single runs by hand, repeated, reporting the median and p99.
void repeatedlyTimed(benchmark::internal::Benchmark* b) {
    b->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("p99", p99);
}

void PickOfficerWith50Groups(benchmark::State& st) {
    World& w = World::get();
    for (auto _ : st) {
        w.doc->exchange().ZAVEK_OfficerSelect1_ClearForm();
        QElapsedTimer t;
        t.start();
        w.doc->exchange().ZAVEK_OfficerSelect1_OfficerSelected(w.officer);
        w.waitForStatus(QStringLiteral("Displaying Security Group for "));
        st.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(PickOfficerWith50Groups)->Apply(repeatedlyTimed);

// Baselines: the statements the back end runs for a retrieval, prepared once on one connection
// to the same file as the back end keeps them, the rows read out: the session, the officer's
// region, the memberships with the officer's revision, and the record of the revision the screen
// now shows (a committed write). The second leaves the write out.
void runPickStatements(benchmark::State& st, bool withWrite) {
    World& w = World::get();
    QSqlDatabase db = QSqlDatabase::database(kUi);
    const QString digest = backend::tokenDigest(w.token);
    QSqlQuery session(db);
    session.prepare(QStringLiteral("SELECT ADMIN_ID, REGION, LAST_SEEN_AT, EXPIRES_AT FROM "
                                   "ADMIN_SESSION WHERE TOKEN_HASH = ?"));
    QSqlQuery officer(db);
    officer.prepare(QStringLiteral("SELECT REGION FROM OFFICER WHERE INSP_ID = ?"));
    QSqlQuery groups(db);
    groups.setForwardOnly(true);
    groups.prepare(QStringLiteral(
        "SELECT o.REVISION, m.GRP_CD FROM OFFICER o LEFT JOIN OFFICER_GROUP m ON m.INSP_ID = "
        "o.INSP_ID WHERE o.INSP_ID = ? ORDER BY m.GRP_CD"));
    QSqlQuery view(db);
    view.prepare(QStringLiteral(
        "INSERT INTO VIEW_REVISION (TOKEN_HASH, MESSAGE_ID, INSP_ID, REVISION, SEEN_AT) VALUES (?, "
        "?, ?, ?, ?) ON CONFLICT (TOKEN_HASH, MESSAGE_ID) DO UPDATE SET INSP_ID = "
        "excluded.INSP_ID, REVISION = excluded.REVISION, SEEN_AT = excluded.SEEN_AT"));
    for (auto _ : st) {
        QElapsedTimer t;
        t.start();
        session.addBindValue(digest);
        session.exec();
        session.next();
        const QString region = session.value(1).toString();
        session.finish();
        officer.addBindValue(w.officer);
        officer.exec();
        officer.next();
        if (officer.value(0).toString() != region)
            st.SkipWithError("the officer is not in the administrator's region");
        officer.finish();
        groups.addBindValue(w.officer);
        groups.exec();
        qint64 revision = 0;
        QStringList codes;
        while (groups.next()) {
            revision = groups.value(0).toLongLong();
            codes << groups.value(1).toString();
        }
        groups.finish();
        benchmark::DoNotOptimize(codes);
        if (withWrite) {
            view.addBindValue(digest);
            view.addBindValue(newMessageId());
            view.addBindValue(w.officer);
            view.addBindValue(revision);
            view.addBindValue(backend::storedTime(QDateTime::currentDateTimeUtc()));
            if (!view.exec())
                st.SkipWithError("the view's revision was not recorded");
        }
        st.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
}
void PickSameStatementsBaseline(benchmark::State& st) {
    runPickStatements(st, true);
}
void PickReadsOnlyBaseline(benchmark::State& st) {
    runPickStatements(st, false);
}
BENCHMARK(PickSameStatementsBaseline)->Apply(repeatedlyTimed);
BENCHMARK(PickReadsOnlyBaseline)->Apply(repeatedlyTimed);

// The processor time of every thread of the process since start, in milliseconds: on a shared
// machine the wall-clock time also holds other programs' turns.
double processCpuMs(std::clock_t start) {
    return 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// From the menu's call until the view shows the officer's 10,000 saves: the request through the
// bus and the worker, the reply read into entries and the table painted.
void HistoryOf10000AuditRows(benchmark::State& st) {
    World& w = World::get();
    w.pick();
    for (auto _ : st) {
        const std::clock_t cpu = std::clock();
        QElapsedTimer t;
        t.start();
        w.doc->ShowHistory();
        QElapsedTimer bound;
        bound.start();
        // Blocks until an event comes rather than polling, so that the processor time is the
        // work's; the bus's time-out ends a wait that no reply ends.
        while (w.doc->history().state() == HistoryRequest::State::Loading &&
               bound.elapsed() < 40000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        HistoryDialog* dialog = w.doc->historyDialog();
        dialog->table()->viewport()->repaint();
        st.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
        st.counters["all_threads_cpu_ms"] = processCpuMs(cpu);
        if (w.doc->history().state() != HistoryRequest::State::Shown ||
            dialog->table()->model()->rowCount() < kHistoryRows)
            st.SkipWithError("the history was not shown");
    }
    // An open history reloads after every save; the cases after this one time saves alone.
    if (w.doc->historyDialog())
        w.doc->historyDialog()->hide();
}
BENCHMARK(HistoryOf10000AuditRows)->Apply(repeatedlyTimed);

// Baseline: the history's three statements prepared and run on a connection to the same file,
// every field of every row read out as text.
void HistoryPlainSqlBaseline(benchmark::State& st) {
    World& w = World::get();
    QSqlDatabase db = QSqlDatabase::database(kUi);
    for (auto _ : st) {
        const std::clock_t cpu = std::clock();
        QElapsedTimer t;
        t.start();
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(QStringLiteral("SELECT REVISION, MESSAGE_ID, AUDIT_TIME, ADMIN_ID, ACTION, "
                                 "GRP_CD FROM AUDIT_LOG WHERE INSP_ID = ? AND ACTION IN ('ADD', "
                                 "'DEL', 'RESET') ORDER BY AUDIT_ID DESC"));
        q.addBindValue(w.officer);
        q.exec();
        int n = 0;
        while (q.next()) {
            for (int c = 0; c < 6; ++c)
                benchmark::DoNotOptimize(q.value(c).toString());
            ++n;
        }
        for (const char* names :
             {"SELECT g.GRP_CD, g.GRP_DES, g.GRP_TYP_CD FROM VRD_GROUP g JOIN OFFICER o ON "
              "o.REGION = g.REGION WHERE o.INSP_ID = ? AND g.GRP_CD IN (SELECT GRP_CD FROM "
              "AUDIT_LOG WHERE INSP_ID = ?)",
              "SELECT ADMIN_ID, ADMIN_NAME, REGION FROM ADMINISTRATOR WHERE ADMIN_ID IN (SELECT "
              "ADMIN_ID FROM AUDIT_LOG WHERE INSP_ID = ? AND INSP_ID = ?)"}) {
            QSqlQuery small(db);
            small.prepare(QString::fromLatin1(names));
            small.addBindValue(w.officer);
            small.addBindValue(w.officer);
            small.exec();
            while (small.next())
                benchmark::DoNotOptimize(small.value(1).toString());
        }
        st.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
        st.counters["all_threads_cpu_ms"] = processCpuMs(cpu);
        if (n < kHistoryRows)
            st.SkipWithError("the rows were not read");
    }
}
BENCHMARK(HistoryPlainSqlBaseline)->Apply(repeatedlyTimed);

// Each repetition flips the stored state of the ten groups B50 to B59, so every save changes
// something the back end must write.
void SaveTenChanges(benchmark::State& st) {
    World& w = World::get();
    w.pick();
    for (auto _ : st) {
        GroupListModel& groups = w.doc->rules().list(0);
        int changed = 0;
        for (int r = 0; r < groups.count() && changed < 10; ++r) {
            if (groups.code(r).startsWith(QLatin1Char('B')) &&
                groups.code(r).mid(1).toInt() >= 50) {
                groups.setChecked(r, !groups.tag(r));
                ++changed;
            }
        }
        if (changed != 10)
            st.SkipWithError("the ten bench groups are not in the list");
        QElapsedTimer t;
        t.start();
        w.doc->SaveData();
        w.waitForStatus(QStringLiteral("Displaying Security Group for "));
        st.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(SaveTenChanges)->Apply(repeatedlyTimed);

void SaveRawSqlBaseline(benchmark::State& st) {
    World& w = World::get();
    QSqlDatabase db = QSqlDatabase::database(kUi);
    for (auto _ : st) {
        const bool add = w.rawAdds;
        QElapsedTimer t;
        t.start();
        db.transaction();
        QSqlQuery q(db);
        for (int i = 50; i < 60; ++i) {
            q.prepare(
                add ? QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)")
                    : QStringLiteral("DELETE FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD = ?"));
            q.addBindValue(w.officer);
            q.addBindValue(QStringLiteral("B%1").arg(i));
            if (!q.exec() || q.numRowsAffected() != 1)
                st.SkipWithError("a raw save changed nothing");
            q.prepare(
                QStringLiteral("INSERT INTO AUDIT_LOG (AUDIT_TIME, ADMIN_ID, INSP_ID, GRP_CD, "
                               "ACTION, MESSAGE_ID) VALUES ('t', 'admin', ?, ?, 'ADD', 'm')"));
            q.addBindValue(w.officer);
            q.addBindValue(QStringLiteral("B%1").arg(i));
            q.exec();
        }
        db.commit();
        w.rawAdds = !add;
        st.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(SaveRawSqlBaseline)->Apply(repeatedlyTimed);

// From the answer Yes to CloseDocument returning, with a back end that answers at once; the
// wait's pass structure puts a floor of 500 ms under it.
void CloseLatencyAfterYes(benchmark::State& st) {
    World& w = World::get();
    for (auto _ : st) {
        st.PauseTiming();
        platform::QtEventPump pump;
        platform::Platform real = w.fake.platform();
        real.events = &pump;
        ZavekSecurity doc(DocumentContext{real});
        doc.SetContainer(&w.container);
        doc.UserDocument_Show();
        doc.exchange().ZAVEK_OfficerSelect1_OfficerSelected(w.officer);
        w.waitForStatus(QStringLiteral("Displaying Security Group for "));
        doc.rules().list(0).setChecked(0, !doc.rules().list(0).item(0).checked);
        w.fake.messageBox.queueAnswer(platform::AnswerYes);
        QElapsedTimer t;
        t.start();
        st.ResumeTiming();
        const std::int16_t result = doc.CloseDocument();
        st.PauseTiming();
        st.counters["over_500ms_floor_ms"] = static_cast<double>(t.elapsed()) - 500.0;
        benchmark::DoNotOptimize(result);
        st.ResumeTiming();
    }
}
BENCHMARK(CloseLatencyAfterYes)->Unit(benchmark::kMillisecond)->Iterations(bench::sized(3, 1));

} // namespace

int main(int argc, char** argv) {
    const auto median = [](const char* name) {
        return std::string(name) + "/iterations:1/repeats:" + std::to_string(kRepetitions) +
               "/manual_time_median";
    };
    return zavek::bench::runAll(
        argc, argv,
        {{median("PickOfficerWith50Groups"), median("PickSameStatementsBaseline")},
         {median("PickOfficerWith50Groups"), median("PickReadsOnlyBaseline")},
         {median("HistoryOf10000AuditRows"), median("HistoryPlainSqlBaseline")},
         {median("SaveTenChanges"), median("SaveRawSqlBaseline")}},
        [] { World::instance().reset(); });
}
