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

using namespace Qt::Literals::StringLiterals;

using namespace zavek;
using namespace zavek::testing;

namespace {

// A plain file where a folder is needed makes every path below it unwritable.
QString unwritable(const QTemporaryDir& dir, const char* below) {
    QFile blocker(dir.filePath(u"a-file"_s));
    EXPECT_TRUE(blocker.open(QIODevice::WriteOnly));
    return dir.filePath(u"a-file/"_s + QLatin1String(below));
}

} // namespace

TEST(ErrorLoggerTest, EachEntryIsOneTabSeparatedLineAndObserversSeeItUntilRemoved) {
    QTemporaryDir dir;
    ErrorLogger logger;
    logger.setLogFile(dir.filePath(u"logs/error.log"_s));
    std::vector<LogEntry> seen;
    const int id = logger.addObserver([&](const LogEntry& e) { seen.push_back(e); });
    logger.addObserver([](const LogEntry&) { throw std::runtime_error("observer broke"); });
    EXPECT_NO_THROW(logger.LogError(u"Ødegård 山田: first line\nsecond\tline"_s,
                                    u"SCR.ZAVEK_SecurityAdmin"_s,
                                    u"ZAVEK_Security.InitializeListView"_s, std::nullopt, 1));
    logger.removeObserver(id);
    logger.LogError(u"second"_s, u"exe"_s, u"src"_s, QVariant(5), 3);
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
    EXPECT_TRUE(lines[1].endsWith(u"\tsecond\texe\tsrc\t3"_s));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].source + seen[0].exeName,
              u"ZAVEK_Security.InitializeListViewSCR.ZAVEK_SecurityAdmin"_s);
    EXPECT_EQ(logger.recent().size(), 2u);
}

TEST(ErrorLoggerTest, AnUnwritableFileNeverThrowsAndRecentEntriesAreBounded) {
    QTemporaryDir dir;
    ErrorLogger logger;
    logger.setLogFile(unwritable(dir, "below/error.log"));
    int observed = 0;
    logger.addObserver([&](const LogEntry&) { ++observed; });
    for (int i = 0; i < 1500; ++i)
        EXPECT_NO_THROW(logger.LogError(QString::number(i), u"e"_s, u"s"_s, std::nullopt, 1));
    EXPECT_EQ(observed, 1500);
    EXPECT_LT(logger.recent().size(), 1500u);
    EXPECT_EQ(logger.recent().back().description, u"1499"_s);
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
    EXPECT_TRUE(unconfigured.endsWith(u"/zavek/error.log"_s) &&
                (unconfigured.startsWith(QDir::homePath()) ||
                 !qEnvironmentVariableIsEmpty("XDG_DATA_HOME")))
        << unconfigured.toStdString();
}

TEST(TrapTest, ATrappedFailureIsLoggedWithItsSourceAndTheClosingStepStillRuns) {
    ErrorLogger::Instance().setLogFile(QString());
    ErrorLogger::Instance().clearRecent();
    const auto& logged = ErrorLogger::Instance().recent();
    const TrapContext context{u"SCR.ZAVEK_SecurityAdmin"_s, u"ZAVEK_Security."_s};
    EXPECT_EQ(codes::kStop, 0x800403E8u);
    int closed = 0;
    EXPECT_TRUE(trapped(
        context, "SaveData", [] {}, [&] { ++closed; }));
    EXPECT_TRUE(logged.empty());
    EXPECT_FALSE(trapped(
        context, "LoadOfficerGroups", [] { fail(codes::kNoSuchField, u"no field \"CODE\""_s); },
        [&] { ++closed; }));
    EXPECT_FALSE(trapped(context, "NeedSave", [] { throw std::runtime_error("bad alloc-ish"); }));
    EXPECT_NO_THROW(trapped(
        context, "CloseDocument", [] { fail(codes::kUnexpected, u"body"_s); },
        [] { fail(codes::kUnexpected, u"closing"_s); }));
    EXPECT_EQ(closed, 2);
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_EQ(logged[0].description, u"no field \"CODE\""_s);
    EXPECT_EQ(logged[0].exeName, u"SCR.ZAVEK_SecurityAdmin"_s);
    EXPECT_EQ(logged[0].source, u"ZAVEK_Security.LoadOfficerGroups"_s);
    EXPECT_EQ(logged[0].eventType, 1);
    EXPECT_EQ(logged[1].description, u"bad alloc-ish"_s);
    EXPECT_EQ(logged[3].description, u"closing"_s);

    const auto stop = attempt([] { fail(codes::kStop, u"stopped: Ø"_s); });
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->code(), codes::kStop);
    EXPECT_EQ(stop->description(), u"stopped: Ø"_s);
    EXPECT_STREQ(stop->what(), "stopped: Ø");
    EXPECT_EQ(attempt([] { throw 42; })->code(), codes::kUnexpected);
    EXPECT_FALSE(attempt([] {}));
    EXPECT_EQ(logged.size(), 4u);
}

TEST(ShellServicesTest, CallsReachTheHostAndBadFlagsOrNoHostAreRefused) {
    ShellServices& services = ShellServices::Instance();
    std::int32_t save = 7, on = -1, off = 0, one = 1, failing = 9;
    std::int16_t shellOn = -1, shellOff = 0, shellBad = 2;
    QString tag = u"SEC-3"_s;
    {
        FakeShellHost host;
        host.failingButtons.insert(9);
        services.SetStatusText(u"Retrieving Officer Jane Doe"_s);
        services.EnableToolbarButton(save, on, tag);
        services.EnableToolbarButton(save, off, tag);
        EXPECT_EQ(attempt([&] { services.EnableToolbarButton(save, one, tag); })->code(),
                  codes::kInvalidArgument);
        EXPECT_TRUE(attempt([&] { services.EnableToolbarButton(failing, off, tag); }));
        services.SetShellEnabled(shellOn);
        services.SetShellEnabled(shellOff);
        EXPECT_TRUE(attempt([&] { services.SetShellEnabled(shellBad); }));
        EXPECT_EQ(host.statuses, std::vector<QString>{u"Retrieving Officer Jane Doe"_s});
        EXPECT_EQ(host.toolbar, (std::vector<ToolbarCall>{{7, true, tag}, {7, false, tag}}));
        EXPECT_EQ(host.shellEnabled, (std::vector<bool>{true, false}));
    }
    services.setHost(nullptr);
    for (const auto& call :
         std::vector<std::function<void()>>{[&] { services.SetStatusText(u"Ready"_s); },
                                            [&] { services.EnableToolbarButton(save, on, tag); },
                                            [&] { services.SetShellEnabled(shellOn); }}) {
        const auto failure = attempt(call);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code(), codes::kNotConnected);
        EXPECT_TRUE(failure->description().contains(u"No shell"_s));
    }
}

TEST(ComponentRegistryTest, EntriesAreKeptInTheFileAndRemovedOnlyWithTheirClass) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"components.ini"_s);
    const ComponentEntry security{u"SCR.ZAVEK_SecurityAdmin"_s,
                                  u"{6f1d2c1e-0000-4000-8000-000000000001}"_s,
                                  u"/opt/zavek/plugins/libzavek_document.so"_s};
    const ComponentEntry other{u"SCR.Other"_s, u"{2}"_s, u"/o.so"_s};
    ComponentEntry moved = security;
    moved.modulePath = u"/elsewhere/libzavek_document.so"_s;
    FileComponentRegistry(path).setEntry(security);
    FileComponentRegistry(path).setEntry(other);
    FileComponentRegistry(path).setEntry(moved);
    FileComponentRegistry registry(path);
    const auto found = registry.find(security.progId);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->classId, security.classId);
    EXPECT_EQ(found->modulePath, moved.modulePath);
    EXPECT_FALSE(registry.find(u"SCR.Unknown"_s));
    registry.removeEntry(security.progId, u"{someone-else}"_s);
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
    EXPECT_TRUE(ErrorLogger::Instance().recent().back().description.contains(u"a-file"_s));
}

TEST(KelbMessageTest, EachMessageHasItsOwnRandomIdentifierAndCopiesTheTablesItCarries) {
    // Random identifiers need no counter that a restart or a second process would repeat.
    static const QRegularExpression uuid(
        u"^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$"_s);
    std::set<QString> ids;
    for (int i = 0; i < 2000; ++i)
        ids.insert(KelbMessage().MessageId());
    EXPECT_EQ(ids.size(), 2000u);
    EXPECT_TRUE(uuid.match(*ids.begin()).hasMatch()) << ids.begin()->toStdString();

    KelbMessage m;
    RecordTable table;
    table.Source(u"SETUP"_s);
    const auto unopened = attempt([&] { m.AddTable(table, u"SETUP"_s); });
    ASSERT_TRUE(unopened);
    EXPECT_TRUE(unopened->description().contains(u"\"SETUP\""_s));
    EXPECT_TRUE(m.data().tables.empty());
    table.Open();
    m.AddTable(table, u"SETUP"_s);
    table.AddNew();
    ASSERT_NE(m.data().table(u"setup"_s), nullptr);
    EXPECT_EQ(m.data().table(u"setup"_s)->rows.size(), 0u);
}
