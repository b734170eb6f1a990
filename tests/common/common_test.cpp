// The common library's small services: the error log, trapping, the shell services, the
// component registry and a message's own identifier and tables.

#include "common/component_registry.h"
#include "common/error_logger.h"
#include "common/failure.h"
#include "common/message.h"
#include "common/record_table.h"
#include "common/shell_services.h"
#include "tests/support/fake_shell_host.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>

using namespace zavek;
using namespace zavek::testing;

namespace {

// A plain file where a folder is needed makes every path below it unwritable.
QString unwritable(const QTemporaryDir& dir, const char* below) {
    QFile blocker(dir.filePath(QStringLiteral("a-file")));
    EXPECT_TRUE(blocker.open(QIODevice::WriteOnly));
    return dir.filePath(QStringLiteral("a-file/") + QLatin1String(below));
}

} // namespace

TEST(ErrorLoggerTest, EachEntryIsOneTabSeparatedLineAndObserversSeeItUntilRemoved) {
    QTemporaryDir dir;
    ErrorLogger logger;
    logger.setLogFile(dir.filePath(QStringLiteral("logs/error.log")));
    std::vector<LogEntry> seen;
    const int id = logger.addObserver([&](const LogEntry& e) { seen.push_back(e); });
    logger.addObserver([](const LogEntry&) { throw std::runtime_error("observer broke"); });
    EXPECT_NO_THROW(logger.LogError(QStringLiteral("Ødegård 山田: first line\nsecond\tline"),
                                    QStringLiteral("SCR.ZAVEK_SecurityAdmin"),
                                    QStringLiteral("ZAVEK_Security.InitializeListView"),
                                    std::nullopt, 1));
    logger.removeObserver(id);
    logger.LogError(QStringLiteral("second"), QStringLiteral("exe"), QStringLiteral("src"),
                    QVariant(5), 3);
    QFile file(logger.logFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    const QStringList parts = lines[0].split(u'\t');
    ASSERT_EQ(parts.size(), 5);
    EXPECT_TRUE(QDateTime::fromString(parts[0], Qt::ISODateWithMs).isValid());
    EXPECT_EQ(parts.mid(1),
              (QStringList{"Ødegård 山田: first line second line", "SCR.ZAVEK_SecurityAdmin",
                           "ZAVEK_Security.InitializeListView", "1"}));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\tsecond\texe\tsrc\t3")));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].source + seen[0].exeName,
              QStringLiteral("ZAVEK_Security.InitializeListViewSCR.ZAVEK_SecurityAdmin"));
    EXPECT_EQ(logger.recent().size(), 2u);
}

TEST(ErrorLoggerTest, AnUnwritableFileNeverThrowsAndRecentEntriesAreBounded) {
    QTemporaryDir dir;
    ErrorLogger logger;
    logger.setLogFile(unwritable(dir, "below/error.log"));
    int observed = 0;
    logger.addObserver([&](const LogEntry&) { ++observed; });
    for (int i = 0; i < 1500; ++i)
        EXPECT_NO_THROW(logger.LogError(QString::number(i), QStringLiteral("e"),
                                        QStringLiteral("s"), std::nullopt, 1));
    EXPECT_EQ(observed, 1500);
    EXPECT_LT(logger.recent().size(), 1500u);
    EXPECT_EQ(logger.recent().back().description, QStringLiteral("1499"));
}

TEST(ErrorLoggerTest, TheLogFileIsUnderTheConfiguredOrTheUsersDataDirectory) {
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("ZAVEK_LOG_DIR");
    qputenv("ZAVEK_LOG_DIR", dir.path().toUtf8());
    const QString configured = ErrorLogger().logFile();
    qunsetenv("ZAVEK_LOG_DIR");
    const QString unconfigured = ErrorLogger().logFile();
    qputenv("ZAVEK_LOG_DIR", saved);
    EXPECT_EQ(QDir::cleanPath(configured), QDir::cleanPath(dir.filePath("error.log")));
    EXPECT_TRUE(unconfigured.endsWith(QStringLiteral("/zavek/error.log")) &&
                (unconfigured.startsWith(QDir::homePath()) ||
                 !qEnvironmentVariableIsEmpty("XDG_DATA_HOME")))
        << unconfigured.toStdString();
}

TEST(TrapTest, ATrappedFailureIsLoggedWithItsSourceAndTheClosingStepStillRuns) {
    ErrorLogger::Instance().setLogFile(QString());
    ErrorLogger::Instance().clearRecent();
    const auto& logged = ErrorLogger::Instance().recent();
    const TrapContext context{QStringLiteral("SCR.ZAVEK_SecurityAdmin"),
                              QStringLiteral("ZAVEK_Security.")};
    EXPECT_EQ(codes::kStop, 0x800403E8u);
    int closed = 0;
    EXPECT_TRUE(trapped(
        context, "SaveData", [] {}, [&] { ++closed; }));
    EXPECT_TRUE(logged.empty());
    EXPECT_FALSE(trapped(
        context, "LoadOfficerGroups",
        [] { fail(codes::kNoSuchField, QStringLiteral("no field \"CODE\"")); }, [&] { ++closed; }));
    EXPECT_FALSE(trapped(context, "NeedSave", [] { throw std::runtime_error("bad alloc-ish"); }));
    EXPECT_NO_THROW(trapped(
        context, "CloseDocument", [] { fail(codes::kUnexpected, QStringLiteral("body")); },
        [] { fail(codes::kUnexpected, QStringLiteral("closing")); }));
    EXPECT_EQ(closed, 2);
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_EQ(logged[0].description, QStringLiteral("no field \"CODE\""));
    EXPECT_EQ(logged[0].exeName, QStringLiteral("SCR.ZAVEK_SecurityAdmin"));
    EXPECT_EQ(logged[0].source, QStringLiteral("ZAVEK_Security.LoadOfficerGroups"));
    EXPECT_EQ(logged[0].eventType, 1);
    EXPECT_EQ(logged[1].description, QStringLiteral("bad alloc-ish"));
    EXPECT_EQ(logged[3].description, QStringLiteral("closing"));

    const auto stop = attempt([] { fail(codes::kStop, QStringLiteral("stopped: Ø")); });
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->code(), codes::kStop);
    EXPECT_STREQ(stop->what(), "stopped: Ø");
    EXPECT_EQ(attempt([] { throw 42; })->code(), codes::kUnexpected);
    EXPECT_FALSE(attempt([] {}));
    EXPECT_EQ(logged.size(), 4u);
}

TEST(ShellServicesTest, CallsReachTheHostAndBadFlagsOrNoHostAreRefused) {
    ShellServices& services = ShellServices::Instance();
    std::int32_t save = 7, on = -1, off = 0, one = 1, failing = 9;
    std::int16_t shellOn = -1, shellOff = 0, shellBad = 2;
    QString tag = QStringLiteral("SEC-3");
    {
        FakeShellHost host;
        host.failingButtons.insert(9);
        services.SetStatusText(QStringLiteral("Retrieving Officer Jane Doe"));
        services.EnableToolbarButton(save, on, tag);
        services.EnableToolbarButton(save, off, tag);
        EXPECT_EQ(attempt([&] { services.EnableToolbarButton(save, one, tag); })->code(),
                  codes::kInvalidArgument);
        EXPECT_TRUE(attempt([&] { services.EnableToolbarButton(failing, off, tag); }));
        services.SetShellEnabled(shellOn);
        services.SetShellEnabled(shellOff);
        EXPECT_TRUE(attempt([&] { services.SetShellEnabled(shellBad); }));
        EXPECT_EQ(host.statuses,
                  std::vector<QString>{QStringLiteral("Retrieving Officer Jane Doe")});
        EXPECT_EQ(host.toolbar, (std::vector<ToolbarCall>{{7, true, tag}, {7, false, tag}}));
        EXPECT_EQ(host.shellEnabled, (std::vector<bool>{true, false}));
    }
    services.setHost(nullptr);
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { services.SetStatusText(QStringLiteral("Ready")); },
             [&] { services.EnableToolbarButton(save, on, tag); },
             [&] { services.SetShellEnabled(shellOn); }}) {
        const auto failure = attempt(call);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code(), codes::kNotConnected);
        EXPECT_TRUE(failure->description().contains(QStringLiteral("No shell")));
    }
}

TEST(ComponentRegistryTest, EntriesAreKeptInTheFileAndRemovedOnlyWithTheirClass) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("components.ini"));
    const ComponentEntry security{QStringLiteral("SCR.ZAVEK_SecurityAdmin"),
                                  QStringLiteral("{6f1d2c1e-0000-4000-8000-000000000001}"),
                                  QStringLiteral("/opt/zavek/plugins/libzavek_document.so")};
    const ComponentEntry other{QStringLiteral("SCR.Other"), QStringLiteral("{2}"),
                               QStringLiteral("/o.so")};
    ComponentEntry moved = security;
    moved.modulePath = QStringLiteral("/elsewhere/libzavek_document.so");
    FileComponentRegistry(path).setEntry(security);
    FileComponentRegistry(path).setEntry(other);
    FileComponentRegistry(path).setEntry(moved);
    FileComponentRegistry registry(path);
    const auto found = registry.find(security.progId);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->classId, security.classId);
    EXPECT_EQ(found->modulePath, moved.modulePath);
    EXPECT_FALSE(registry.find(QStringLiteral("SCR.Unknown")));
    registry.removeEntry(security.progId, QStringLiteral("{someone-else}"));
    EXPECT_TRUE(FileComponentRegistry(path).find(security.progId));
    registry.removeEntry(security.progId, security.classId);
    EXPECT_FALSE(FileComponentRegistry(path).find(security.progId));
    EXPECT_TRUE(FileComponentRegistry(path).find(other.progId));
    EXPECT_FALSE(registry.writeFailed());

    ErrorLogger::Instance().setLogFile(QString());
    ErrorLogger::Instance().clearRecent();
    FileComponentRegistry blocked(unwritable(dir, "components.ini"));
    blocked.setEntry(security);
    EXPECT_TRUE(blocked.writeFailed());
    ASSERT_FALSE(ErrorLogger::Instance().recent().empty());
    EXPECT_TRUE(
        ErrorLogger::Instance().recent().back().description.contains(QStringLiteral("a-file")));
}

TEST(KelbMessageTest, EachMessageHasItsOwnRandomIdentifierAndCopiesTheTablesItCarries) {
    // Random identifiers need no counter that a restart or a second process would repeat.
    static const QRegularExpression uuid(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"));
    std::set<QString> ids;
    for (int i = 0; i < 2000; ++i)
        ids.insert(KelbMessage().MessageId());
    EXPECT_EQ(ids.size(), 2000u);
    EXPECT_TRUE(uuid.match(*ids.begin()).hasMatch()) << ids.begin()->toStdString();

    KelbMessage m;
    RecordTable table;
    table.Source(QStringLiteral("SETUP"));
    const auto unopened = attempt([&] { m.AddTable(table, QStringLiteral("SETUP")); });
    ASSERT_TRUE(unopened);
    EXPECT_TRUE(unopened->description().contains(QStringLiteral("\"SETUP\"")));
    EXPECT_TRUE(m.data().tables.empty());
    table.Open();
    m.AddTable(table, QStringLiteral("SETUP"));
    table.AddNew();
    ASSERT_NE(m.data().table(QStringLiteral("setup")), nullptr);
    EXPECT_EQ(m.data().table(QStringLiteral("setup"))->rows.size(), 0u);
}
