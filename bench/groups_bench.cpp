// The lists at scale: the catalogue load (against the database's own read of the same query and
// against the tree widget a Qt developer would write), officer loading, the change test, and
// memory. The catalogue runs on SQLite and, when ZAVEK_TEST_POSTGRES names a server, on
// PostgreSQL, at 1,000 to 1,000,000 rows.

#include "backend/database.h"
#include "backend/schema.h"
#include "bench/bench_support.h"
#include "common/catalogue_query.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "common/shell_services.h"
#include "groups/group_list_model.h"
#include "groups/group_list_view.h"
#include "groups/group_rules.h"
#include "platform/fake_platform.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QUrl>
#include <QUuid>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cstdio>
#include <malloc.h>
#include <map>
#include <memory>

using namespace zavek;

namespace {

class NullHost final : public IShellHost {
public:
    void setStatusText(const QString&) override {}
    void enableToolbarButton(std::int32_t, bool, const QString&) override {}
    void setShellEnabled(bool) override {}
};

class NullForm final : public IFormControls {
public:
    int resetPasswordValue() const override { return 0; }
    void setResetPasswordValue(int) override {}
    QString caption() const override { return {}; }
    void setCaption(const QString&) override {}
    QString selectedOfficerName() const override { return {}; }
};

class NullGeometry final : public IListGeometry {
public:
    int listWidthTwips(CheckList) override { return 3870; }
    void setColumnWidthTwips(CheckList, int, int) override {}
};

enum Engine { SQLite = 0, PostgreSQL = 1 };

const QString kRegion = QStringLiteral("NW");

QString postgresServer() {
    return qEnvironmentVariable("ZAVEK_TEST_POSTGRES");
}

// A catalogue of n rows in the product's schema, one database per engine and size, made once.
// Every tenth row is an agency; the descriptions are 35 characters.
class Catalogue {
public:
    Catalogue(Engine engine, int rows)
        : connection_(QStringLiteral("bench-catalogue-%1-%2").arg(engine).arg(rows)) {
        if (engine == SQLite) {
            location_ = dir_.filePath(QStringLiteral("catalogue.sqlite"));
        } else {
            QUrl url(postgresServer());
            database_ = QStringLiteral("zavek_bench_%1")
                            .arg(QUuid::createUuid().toString(QUuid::Id128).left(12));
            admin(QStringLiteral("CREATE DATABASE ") + database_);
            url.setPath(QLatin1Char('/') + database_);
            location_ = url.toString();
        }
        QSqlDatabase db = backend::openDatabase(location_, connection_);
        backend::migrate(db);
        QSqlQuery q(db);
        const bool made = q.exec(
            engine == SQLite
                ? QStringLiteral(
                      "INSERT INTO VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD, GRP_DES) "
                      "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + "
                      "1 < %1) SELECT '%2', CASE WHEN i % 10 = 0 THEN 'A' ELSE 'P' END, 'C' || "
                      "i, printf('Security group of the region %06d', i) FROM n")
                      .arg(rows)
                      .arg(kRegion)
                : QStringLiteral("INSERT INTO VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD, GRP_DES) "
                                 "SELECT '%2', CASE WHEN i % 10 = 0 THEN 'A' ELSE 'P' END, 'C' "
                                 "|| i, 'Security group of the region ' || lpad(i::text, 6, "
                                 "'0') FROM generate_series(0, %1 - 1) AS i")
                      .arg(rows)
                      .arg(kRegion));
        if (!made)
            std::fprintf(stderr, "could not make the catalogue\n");
        if (engine == PostgreSQL)
            q.exec(QStringLiteral("VACUUM ANALYZE VRD_GROUP"));
    }
    ~Catalogue() {
        backend::closeDatabase(connection_);
        if (!database_.isEmpty())
            admin(QStringLiteral("DROP DATABASE ") + database_);
    }
    const QString& connection() const { return connection_; }
    const QString& location() const { return location_; }
    void becomeSession() const {
        SessionInfo::Instance().establish(QStringLiteral("s"), kRegion, connection_);
    }

    static Catalogue& get(Engine engine, int rows) {
        auto& c = all()[{engine, rows}];
        if (!c)
            c = std::make_unique<Catalogue>(engine, rows);
        return *c;
    }
    static std::map<std::pair<int, int>, std::unique_ptr<Catalogue>>& all() {
        static std::map<std::pair<int, int>, std::unique_ptr<Catalogue>> catalogues;
        return catalogues;
    }

private:
    static void admin(const QString& statement) {
        const QString name = QStringLiteral("bench-pg-admin");
        {
            QSqlDatabase db = backend::openDatabase(postgresServer(), name);
            QSqlQuery(db).exec(statement);
        }
        backend::closeDatabase(name);
    }

    QTemporaryDir dir_;
    QString connection_;
    QString location_;
    QString database_;
};

NullHost& host() {
    static NullHost h;
    ShellServices::Instance().setHost(&h);
    return h;
}

// The two lists as the form has them: views over the models, shown.
struct Lists {
    platform::FakePlatform fake;
    NullForm form;
    NullGeometry geometry;
    DocumentState state;
    GroupListModel groups;
    GroupListModel agencies;
    GroupRules rules;
    Lists()
        : rules(
              DocumentServices{state, form, fake.platform(), TrapContext{},
                               SharedObjects{MessageBus::Instance(), ReplyStore::Instance(),
                                             ReplyChecker::Instance(), SessionInfo::Instance(),
                                             ShellServices::Instance(), *KelbListener::Instance()}},
              groups, agencies, geometry) {}
};

struct ShownLists : Lists {
    GroupListView groupView{0};
    GroupListView agencyView{1};
    ShownLists() {
        groupView.setModel(&groups);
        agencyView.setModel(&agencies);
        for (GroupListView* v : {&groupView, &agencyView}) {
            v->resize(400, 300);
            v->show();
        }
        QCoreApplication::processEvents();
    }
};

void CatalogueLoad(benchmark::State& st, Engine engine, int rows) {
    Catalogue& c = Catalogue::get(engine, rows);
    c.becomeSession();
    host();
    for (auto _ : st) {
        st.PauseTiming();
        auto lists = std::make_unique<ShownLists>();
        st.ResumeTiming();
        lists->rules.InitializeListView();
        lists->groupView.repaint();
        lists->agencyView.repaint();
        st.PauseTiming();
        if (lists->groups.count() + lists->agencies.count() != rows)
            st.SkipWithError("the lists do not hold the catalogue");
        lists.reset();
        st.ResumeTiming();
    }
}

// Baseline: the tree widget a Qt developer would write, fed by QSqlQuery on the same
// connection: forward-only, values by column number, the items built first and added in one
// call, uniform row heights, shown and painted.
void CatalogueLoadTreeWidgetBaseline(benchmark::State& st, Engine engine, int rows) {
    Catalogue& c = Catalogue::get(engine, rows);
    for (auto _ : st) {
        st.PauseTiming();
        auto groups = std::make_unique<QTreeWidget>();
        auto agencies = std::make_unique<QTreeWidget>();
        for (QTreeWidget* w : {groups.get(), agencies.get()}) {
            w->setColumnCount(2);
            w->setRootIsDecorated(false);
            w->setUniformRowHeights(true);
            w->resize(400, 300);
            w->show();
        }
        QCoreApplication::processEvents();
        st.ResumeTiming();
        QSqlQuery q(QSqlDatabase::database(c.connection()));
        q.setForwardOnly(true);
        q.exec(catalogueQuery(kRegion));
        QList<QTreeWidgetItem*> groupItems;
        QList<QTreeWidgetItem*> agencyItems;
        while (q.next()) {
            auto* item =
                new QTreeWidgetItem(QStringList{q.value(3).toString(), q.value(2).toString()});
            item->setCheckState(0, Qt::Unchecked);
            (q.value(1).toString() == QLatin1String("A") ? agencyItems : groupItems).append(item);
        }
        groups->addTopLevelItems(groupItems);
        agencies->addTopLevelItems(agencyItems);
        groups->repaint();
        agencies->repaint();
        st.PauseTiming();
        if (groups->topLevelItemCount() + agencies->topLevelItemCount() != rows)
            st.SkipWithError("the widgets do not hold the catalogue");
        groups.reset();
        agencies.reset();
        st.ResumeTiming();
    }
}

// The floor: the database's own client library reads the catalogue query on the same database
// (SQLite: step through the rows taking each column's text; PostgreSQL: the result's cells).
void CatalogueFloor(benchmark::State& st, Engine engine, int rows) {
    Catalogue& c = Catalogue::get(engine, rows);
    const QByteArray query = catalogueQuery(kRegion).toUtf8();
    sqlite3* lite = nullptr;
    PGconn* pg = nullptr;
    if (engine == SQLite) {
        sqlite3_open_v2(c.location().toUtf8().constData(), &lite, SQLITE_OPEN_READONLY, nullptr);
    } else {
        pg = PQconnectdb(c.location().toUtf8().constData());
    }
    for (auto _ : st) {
        std::size_t bytes = 0;
        int read = 0;
        if (lite) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(lite, query.constData(), -1, &stmt, nullptr);
            const int columns = sqlite3_column_count(stmt);
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                for (int i = 0; i < columns; ++i) {
                    benchmark::DoNotOptimize(sqlite3_column_text(stmt, i));
                    bytes += static_cast<std::size_t>(sqlite3_column_bytes(stmt, i));
                }
                ++read;
            }
            sqlite3_finalize(stmt);
        } else {
            PGresult* result = PQexec(pg, query.constData());
            read = PQntuples(result);
            const int columns = PQnfields(result);
            for (int r = 0; r < read; ++r)
                for (int i = 0; i < columns; ++i) {
                    benchmark::DoNotOptimize(PQgetvalue(result, r, i));
                    bytes += static_cast<std::size_t>(PQgetlength(result, r, i));
                }
            PQclear(result);
        }
        benchmark::DoNotOptimize(bytes);
        if (read != rows)
            st.SkipWithError("the floor did not read the catalogue");
    }
    if (lite)
        sqlite3_close(lite);
    if (pg)
        PQfinish(pg);
}

std::vector<int> catalogueSizes() {
    if (bench::smoke())
        return {1000};
    return {1000, 10000, 100000, 1000000};
}

std::vector<Engine> engines() {
    if (postgresServer().isEmpty())
        return {SQLite};
    return {SQLite, PostgreSQL};
}

std::string catalogueName(const char* name, Engine engine, int rows) {
    return QStringLiteral("%1/%2/%3")
        .arg(QLatin1String(name),
             engine == SQLite ? QStringLiteral("sqlite") : QStringLiteral("postgresql"))
        .arg(rows)
        .toStdString();
}

void registerCatalogue(std::vector<std::pair<std::string, std::string>>& pairs) {
    using Case = void (*)(benchmark::State&, Engine, int);
    const std::pair<const char*, Case> cases[] = {
        {"CatalogueFloor", &CatalogueFloor},
        {"CatalogueLoad", &CatalogueLoad},
        {"CatalogueLoadTreeWidgetBaseline", &CatalogueLoadTreeWidgetBaseline}};
    for (Engine engine : engines()) {
        for (int rows : catalogueSizes()) {
            // A million tree widget items take seconds each time; once is enough there.
            const int iterations = bench::smoke() ? 1 : rows >= 1000000 ? 1 : 3;
            std::string names[3];
            for (int i = 0; i < 3; ++i) {
                names[i] = catalogueName(cases[i].first, engine, rows);
                benchmark::RegisterBenchmark(names[i].c_str(), cases[i].second, engine, rows)
                    ->Unit(benchmark::kMillisecond)
                    ->Iterations(iterations);
                names[i] = QStringLiteral("%1/iterations:%2")
                               .arg(QString::fromStdString(names[i]))
                               .arg(iterations)
                               .toStdString();
            }
            pairs.emplace_back(names[1], names[2]);
            pairs.emplace_back(names[1], names[0]);
        }
    }
}

std::unique_ptr<Lists> listsWithReply(int items, int replyRows) {
    auto lists = std::make_unique<Lists>();
    for (int i = 0; i < items; ++i)
        lists->groups.append(QStringLiteral("Group %1").arg(i), QStringLiteral("C%1").arg(i));
    lists->state.msInspId = QStringLiteral("NW1");
    lists->state.msMessageId = QStringLiteral("M");
    lists->state.documentIdentity = QStringLiteral("D");
    MessageData reply;
    reply.replyTo = QStringLiteral("D");
    reply.messageId = QStringLiteral("M");
    TableData t;
    t.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")};
    for (int i = 0; i < replyRows; ++i)
        t.rows.push_back({QStringLiteral("NW1"), QStringLiteral("C%1").arg((i * 7919) % items)});
    reply.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), t});
    ReplyStore::Instance().put(reply);
    return lists;
}

// Args: items in the list, memberships in the reply.
void LoadOfficerGroups(benchmark::State& st) {
    host();
    auto lists = listsWithReply(static_cast<int>(st.range(0)), static_cast<int>(st.range(1)));
    for (auto _ : st)
        lists->rules.LoadOfficerGroups();
}

// Baseline: the same rows, each found by walking the list from the top.
void LoadOfficerGroupsNaiveWalkBaseline(benchmark::State& st) {
    host();
    auto lists = listsWithReply(static_cast<int>(st.range(0)), static_cast<int>(st.range(1)));
    for (auto _ : st) {
        lists->rules.CheckGroups(Clear);
        auto table = ReplyStore::Instance().GetTable(QStringLiteral("OFFICERGROUP"),
                                                     QStringLiteral("D"), QStringLiteral("M"));
        for (table->MoveFirst(); !table->isEof(); table->MoveNext()) {
            const QString code = table->field(QStringLiteral("GRP_CD")).Text();
            for (int r = 0; r < lists->groups.count(); ++r) {
                if (lists->groups.code(r) == code) {
                    lists->groups.setChecked(r, true);
                    lists->groups.setTag(r, true);
                    break;
                }
            }
        }
    }
}

void registerOfficerLoads(std::vector<std::pair<std::string, std::string>>& pairs) {
    // Many memberships in a mid-sized list, and the realistic case: a large catalogue and an
    // officer with sixteen memberships.
    const std::pair<int, int> shapes[] = {{bench::sized(20000, 200), bench::sized(5000, 50)},
                                          {bench::sized(100000, 1000), 16}};
    for (const auto& [items, rows] : shapes) {
        const QString args = QStringLiteral("/%1/%2").arg(items).arg(rows);
        benchmark::RegisterBenchmark("LoadOfficerGroups", &LoadOfficerGroups)
            ->Args({items, rows})
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("LoadOfficerGroupsNaiveWalkBaseline",
                                     &LoadOfficerGroupsNaiveWalkBaseline)
            ->Args({items, rows})
            ->Unit(benchmark::kMillisecond);
        pairs.emplace_back(
            (QStringLiteral("LoadOfficerGroups") + args).toStdString(),
            (QStringLiteral("LoadOfficerGroupsNaiveWalkBaseline") + args).toStdString());
    }
}

void DataChangedOnItems(benchmark::State& st) {
    host();
    Lists lists;
    for (int i = 0; i < st.range(0); ++i)
        lists.groups.append(QStringLiteral("Group %1").arg(i), QStringLiteral("C%1").arg(i));
    lists.state.msInspId = QStringLiteral("NW1");
    for (auto _ : st)
        lists.rules.lvOfficerGroups_Click(0); // nothing changed: the whole walk
}
BENCHMARK(DataChangedOnItems)->Arg(bench::sized(100000, 1000))->Unit(benchmark::kMicrosecond);

// Heap in use, not resident pages (the allocator may reuse pages freed earlier): the arena's
// blocks and the large ones the allocator maps on their own.
std::size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

void MemoryOfItems(benchmark::State& st) {
    const int n = static_cast<int>(st.range(0));
    for (auto _ : st) {
        const std::size_t before = heapInUse();
        auto lists = std::make_unique<Lists>();
        for (int i = 0; i < n; ++i)
            lists->groups.append(
                QStringLiteral("Security group of the region %1").arg(i, 6, 10, QLatin1Char('0')),
                QStringLiteral("C%1").arg(i));
        const double bytes = static_cast<double>(heapInUse() - before);
        st.counters["heap_MiB"] = bytes / (1024.0 * 1024.0);
        st.counters["bytes_per_item"] = bytes / n;
        st.counters["peak_process_MiB"] = zavek::bench::peakResidentKb() / 1024.0;
    }
}
BENCHMARK(MemoryOfItems)
    ->Arg(bench::sized(100000, 1000))
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    std::vector<std::pair<std::string, std::string>> pairs;
    registerCatalogue(pairs);
    registerOfficerLoads(pairs);
    return zavek::bench::runAll(argc, argv, std::move(pairs), [] { Catalogue::all().clear(); });
}
