// The lists at scale: catalogue load, officer loading, the change test, and memory.

#include "bench/bench_support.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "common/shell_services.h"
#include "groups/group_list_model.h"
#include "groups/group_rules.h"
#include "platform/fake_platform.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <malloc.h>
#include <memory>

using namespace zavek;

namespace {

constexpr int kCatalogueRows = 100000;

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
    int listWidthTwips(int) override { return 3870; }
    void setColumnWidthTwips(int, int, int) override {}
};

// A catalogue of 100,000 rows in an SQLite file, made once.
struct Catalogue {
    QTemporaryDir dir;
    QString connection = QStringLiteral("bench-catalogue");
    Catalogue() {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(dir.filePath(QStringLiteral("catalogue.sqlite")));
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
        q.exec(QStringLiteral(
            "CREATE TABLE VRD_GROUP (REGION TEXT, GRP_TYP_CD TEXT, GRP_CD TEXT, GRP_DES TEXT)"));
        q.exec(QStringLiteral("CREATE INDEX R ON VRD_GROUP (REGION, GRP_TYP_CD, GRP_DES)"));
        q.finish();
        db.transaction();
        q.prepare(QStringLiteral("INSERT INTO VRD_GROUP VALUES ('NW', ?, ?, ?)"));
        for (int i = 0; i < kCatalogueRows; ++i) {
            q.addBindValue(i % 10 == 0 ? QStringLiteral("A") : QStringLiteral("P"));
            q.addBindValue(QStringLiteral("C%1").arg(i));
            q.addBindValue(
                QStringLiteral("Security group number %1").arg(i, 6, 10, QLatin1Char('0')));
            q.exec();
        }
        q.finish();
        db.commit();
        SessionInfo::Instance().establish(QStringLiteral("s"), QStringLiteral("NW"), connection);
    }
    static Catalogue& get() {
        static Catalogue c;
        return c;
    }
};

struct Lists {
    platform::FakePlatform fake;
    NullForm form;
    NullGeometry geometry;
    DocumentState state;
    GroupListModel groups;
    GroupListModel agencies;
    GroupRules rules;
    Lists()
        : rules(DocumentServices{state, form, fake.platform(), TrapContext{}}, groups, agencies,
                geometry) {}
};

NullHost& host() {
    static NullHost h;
    ShellServices::Instance().setHost(&h);
    return h;
}

void CatalogueLoad(benchmark::State& st) {
    Catalogue::get();
    host();
    for (auto _ : st) {
        Lists lists;
        lists.rules.InitializeListView();
        benchmark::DoNotOptimize(lists.groups.count());
    }
}
BENCHMARK(CatalogueLoad)->Unit(benchmark::kMillisecond)->Iterations(3);

// Baseline: the same rows, the same query, into a tree widget with check boxes.
void CatalogueLoadTreeWidgetBaseline(benchmark::State& st) {
    Catalogue& c = Catalogue::get();
    for (auto _ : st) {
        QTreeWidget groups;
        QTreeWidget agencies;
        groups.setColumnCount(2);
        agencies.setColumnCount(2);
        QSqlQuery q(QSqlDatabase::database(c.connection));
        q.setForwardOnly(true);
        q.exec(QStringLiteral(
            "Select * from VRD_GROUP Where REGION='NW'  order by GRP_TYP_CD, GRP_DES"));
        while (q.next()) {
            QTreeWidget* target = q.value(1).toString() == QLatin1String("A") ? &agencies : &groups;
            auto* item = new QTreeWidgetItem(target);
            item->setText(0, q.value(3).toString());
            item->setText(1, q.value(2).toString());
            item->setData(0, Qt::UserRole, false);
            item->setCheckState(0, Qt::Unchecked);
        }
        benchmark::DoNotOptimize(groups.topLevelItemCount());
    }
}
BENCHMARK(CatalogueLoadTreeWidgetBaseline)->Unit(benchmark::kMillisecond)->Iterations(3);

constexpr int kItems = 20000;
constexpr int kReplyRows = 5000;

std::unique_ptr<Lists> listsWithReply() {
    auto lists = std::make_unique<Lists>();
    for (int i = 0; i < kItems; ++i)
        lists->groups.append(QStringLiteral("Group %1").arg(i), QStringLiteral("C%1").arg(i));
    lists->state.msInspId = QStringLiteral("NW1");
    lists->state.msMessageId = QStringLiteral("M");
    lists->state.documentIdentity = QStringLiteral("D");
    MessageData reply;
    reply.replyTo = QStringLiteral("D");
    reply.messageId = QStringLiteral("M");
    TableData t;
    t.fields = QStringList{QStringLiteral("INSP_ID"), QStringLiteral("GRP_CD")};
    for (int i = 0; i < kReplyRows; ++i)
        t.rows.push_back({QStringLiteral("NW1"), QStringLiteral("C%1").arg((i * 7919) % kItems)});
    reply.tables.push_back(NamedTable{QStringLiteral("OFFICERGROUP"), t});
    ReplyStore::Instance().put(reply);
    return lists;
}

void LoadOfficerGroups(benchmark::State& st) {
    host();
    auto lists = listsWithReply();
    for (auto _ : st)
        lists->rules.LoadOfficerGroups();
}
BENCHMARK(LoadOfficerGroups)->Unit(benchmark::kMillisecond);

// Baseline: the same rows, each found by walking the list from the top.
void LoadOfficerGroupsNaiveWalkBaseline(benchmark::State& st) {
    host();
    auto lists = listsWithReply();
    for (auto _ : st) {
        lists->rules.CheckGroups(Clear);
        auto table = ReplyStore::Instance().GetTable(QStringLiteral("OFFICERGROUP"),
                                                     QStringLiteral("D"), QStringLiteral("M"));
        for (table->MoveFirst(); !table->isEof(); table->MoveNext()) {
            const QString code = table->field(QStringLiteral("GRP_CD")).Text();
            for (int r = 0; r < lists->groups.count(); ++r) {
                if (lists->groups.item(r).code == code) {
                    lists->groups.setChecked(r, true);
                    lists->groups.setTag(r, true);
                    break;
                }
            }
        }
    }
}
BENCHMARK(LoadOfficerGroupsNaiveWalkBaseline)->Unit(benchmark::kMillisecond);

void DataChangedOn100000Items(benchmark::State& st) {
    host();
    Lists lists;
    for (int i = 0; i < 100000; ++i)
        lists.groups.append(QStringLiteral("Group %1").arg(i), QStringLiteral("C%1").arg(i));
    lists.state.msInspId = QStringLiteral("NW1");
    for (auto _ : st)
        lists.rules.lvOfficerGroups_Click(0); // nothing changed: the whole walk
}
BENCHMARK(DataChangedOn100000Items)->Unit(benchmark::kMicrosecond);

void MemoryOf100000Items(benchmark::State& st) {
    for (auto _ : st) {
        const std::size_t before = mallinfo2().uordblks;
        auto lists = std::make_unique<Lists>();
        for (int i = 0; i < 100000; ++i)
            lists->groups.append(
                QStringLiteral("Security group number %1").arg(i, 6, 10, QLatin1Char('0')),
                QStringLiteral("C%1").arg(i));
        // Heap in use, not resident pages: the allocator may reuse pages freed earlier.
        const double bytes = static_cast<double>(mallinfo2().uordblks - before);
        st.counters["heap_MiB"] = bytes / (1024.0 * 1024.0);
        st.counters["bytes_per_item"] = bytes / 100000.0;
        st.counters["peak_process_MiB"] = zavek::bench::peakResidentKb() / 1024.0;
    }
}
BENCHMARK(MemoryOf100000Items)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    return zavek::bench::runAll(
        argc, argv,
        {{"CatalogueLoad/iterations:3", "CatalogueLoadTreeWidgetBaseline/iterations:3"},
         {"LoadOfficerGroups", "LoadOfficerGroupsNaiveWalkBaseline"}});
}
