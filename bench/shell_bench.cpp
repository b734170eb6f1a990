// The shell from start to its first painted window, as zavek-shell does it: the database opened,
// the demo administrator signed in, the back end started, the component loaded and the security
// window shown and painted with its catalogue. The demo catalogue is the baseline; the same
// start-up with 100,000 more catalogue items is measured against it in the same run. The
// resident memory of a shell is read in a fresh process of this program (--resident LOCATION),
// which starts once, reads its own resident size with the catalogue on screen, and says it.

#include "backend/authenticator.h"
#include "backend/database.h"
#include "backend/demo_data.h"
#include "backend/worker_transport.h"
#include "bench/bench_support.h"
#include "common/component_registry.h"
#include "common/message_bus.h"
#include "common/session_info.h"
#include "shell/component_loader.h"
#include "shell/main_window.h"
#include "shell/startup.h"

#include <QApplication>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

using namespace zavek;

namespace {

const QString kConnection = QString::fromLatin1(shell::kUiConnection);

// A database made by the shell's own first start, with extra catalogue items in the demo
// administrator's region.
struct Store {
    QTemporaryDir dir;
    QString location;
    explicit Store(int extraItems) : location(dir.filePath(QStringLiteral("zavek.sqlite"))) {
        shell::prepareDatabase(location, kConnection, false);
        QSqlQuery q(QSqlDatabase::database(kConnection));
        if (extraItems > 0 &&
            !q.exec(QStringLiteral(
                        "INSERT INTO VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD, GRP_DES) WITH "
                        "RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < "
                        "%1) SELECT 'NW', CASE WHEN i % 10 = 0 THEN 'A' ELSE 'P' END, 'BULK' || "
                        "i, printf('Security group of the region %06d', i) FROM n")
                        .arg(extraItems)))
            std::fprintf(stderr, "could not add the catalogue items\n");
        q.finish();
        backend::closeDatabase(kConnection);
    }
};

// One start-up to the first painted window; returns its seconds and leaves the shell up
// until the returned object goes.
struct Shell {
    QTemporaryDir registryDir;
    std::unique_ptr<backend::Authenticator> authenticator;
    backend::Session session;
    std::unique_ptr<FileComponentRegistry> registry;
    std::unique_ptr<shell::ComponentLoader> loader;
    std::unique_ptr<shell::MainWindow> window;

    bool start(const QString& location) {
        shell::prepareDatabase(location, kConnection, false);
        authenticator =
            std::make_unique<backend::Authenticator>(QSqlDatabase::database(kConnection));
        session = authenticator->signIn(QString::fromLatin1(backend::kDemoAdminId),
                                        QString::fromLatin1(backend::kDemoAdminPassword));
        SessionInfo::Instance().establish(session.token, session.region, kConnection);
        MessageBus::Instance().setTransport(std::make_shared<backend::WorkerTransport>(location));
        registry = std::make_unique<FileComponentRegistry>(
            registryDir.filePath(QStringLiteral("registry.ini")));
        loader = std::make_unique<shell::ComponentLoader>(
            *registry, shell::ComponentLoader::defaultPluginDir());
        loader->ensureRegistered();
        window = std::make_unique<shell::MainWindow>(*loader, DocumentContext{},
                                                     QStringLiteral("ZAVEK"));
        window->show();
        if (!window->openSecurityDocument())
            return false;
        QApplication::processEvents();
        window->repaint();
        return true;
    }
    ~Shell() {
        if (window)
            window->closeAllDocuments();
        window.reset();
        MessageBus::Instance().setTransport(nullptr);
        if (authenticator)
            attempt([&] { authenticator->signOut(session.token); });
        authenticator.reset();
        loader.reset();
        backend::closeDatabase(kConnection);
    }
};

std::unique_ptr<Store>& store(int extraItems) {
    static std::unique_ptr<Store> stores[2];
    auto& s = stores[extraItems > 0 ? 1 : 0];
    if (!s)
        s = std::make_unique<Store>(extraItems);
    return s;
}

void StartUp(benchmark::State& st, int extraItems) {
    const QString location = store(extraItems)->location;
    // The first start in a process loads fonts, styles and plugins; neither case pays for it.
    static const bool warmed = [] {
        Shell warm;
        return warm.start(store(0)->location);
    }();
    if (!warmed)
        st.SkipWithError("the shell did not start");
    for (auto _ : st) {
        auto shell = std::make_unique<Shell>();
        if (!shell->start(location))
            st.SkipWithError("the security window did not open");
        st.PauseTiming();
        shell.reset();
        st.ResumeTiming();
    }
    QProcess fresh;
    fresh.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--resident"), location});
    fresh.waitForFinished(60000);
    bool ok = false;
    const double kb = QString::fromLatin1(fresh.readAllStandardOutput()).trimmed().toDouble(&ok);
    if (!ok)
        st.SkipWithError("the fresh shell did not report its memory");
    st.counters["resident_MiB"] = kb / 1024.0;
}

// One shell in this fresh process: its resident size once the window is painted and the
// events of the start-up are handled.
int reportResident(int argc, char** argv, const QString& location) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    long kb = 0;
    {
        Shell shell;
        if (!shell.start(location))
            return 1;
        QApplication::processEvents();
        kb = bench::residentKb();
    }
    std::printf("%ld\n", kb);
    return 0;
}

const int kIterations = bench::sized(5, 1);
const int kItems = bench::sized(100000, 1000);

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--resident") == 0)
        return reportResident(argc, argv, QString::fromLocal8Bit(argv[2]));
    benchmark::RegisterBenchmark("StartUpWithLargeCatalogue", &StartUp, kItems)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(kIterations);
    benchmark::RegisterBenchmark("StartUpDemoBaseline", &StartUp, 0)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(kIterations);
    const std::string suffix = "/iterations:" + std::to_string(kIterations);
    return bench::runAll(
        argc, argv, {{"StartUpWithLargeCatalogue" + suffix, "StartUpDemoBaseline" + suffix}}, [] {
            store(0).reset();
            store(1).reset();
        });
}
