// The common library's small services: the error log, trapping, the shell services and the
// component registry (its removal of the module's own entry: the module test).

#include "common/component_registry.h"
#include "common/error_logger.h"
#include "common/failure.h"
#include "common/shell_services.h"
#include "tests/support/fake_shell_host.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace zavek;
using namespace zavek::testing;

namespace {

// A plain file where a folder is needed makes every path below it unwritable.
QString unwritable(const QTemporaryDir& dir, const char* below) {
    QFile blocker(dir.filePath("a-file"));
    EXPECT_TRUE(blocker.open(QIODevice::WriteOnly));
    return dir.filePath("a-file/") + below;
}

// One tab-separated line per entry, line breaks and tabs flattened; observers see each entry
// until removed, a failing one stops nothing; an unwritable file never throws.
TEST(ErrorLoggerTest, EachEntryIsOneLineSeenByObserversAndNothingThrows) {
    QTemporaryDir dir;
    ErrorLogger logger;
    logger.setLogFile(dir.filePath("logs/error.log"));
    std::vector<LogEntry> seen;
    const int id = logger.addObserver([&](const LogEntry& e) { seen.push_back(e); });
    logger.addObserver([](const LogEntry&) { throw std::runtime_error("observer broke"); });
    EXPECT_NO_THROW(logger.LogError("Ødegård 山田: first line\nsecond\tline", "SCR.Exe",
                                    "Doc.InitializeListView", std::nullopt, 1));
    logger.removeObserver(id);
    logger.LogError("second", "exe", "src", QVariant(5), 3);
    QFile file(logger.logFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0].section('\t', 1),
              "Ødegård 山田: first line second line\tSCR.Exe\tDoc.InitializeListView\t1");
    EXPECT_TRUE(lines[1].endsWith("\tsecond\texe\tsrc\t3"));
    EXPECT_EQ(seen.size(), 1u);
    logger.setLogFile(unwritable(dir, "below/error.log"));
    EXPECT_NO_THROW(logger.LogError("lost", "e", "s", std::nullopt, 1));
    EXPECT_EQ(logger.recent().back().description, "lost");
}

TEST(TrapTest, ATrappedFailureIsLoggedWithItsSourceAndTheClosingStepStillRuns) {
    ErrorLogger::Instance().setLogFile(QString());
    ErrorLogger::Instance().clearRecent();
    const auto& logged = ErrorLogger::Instance().recent();
    const TrapContext context{"SCR.ZAVEK_SecurityAdmin", "ZAVEK_Security."};
    int closed = 0;
    EXPECT_TRUE(trapped(
        context, "SaveData", [] {}, [&] { ++closed; }));
    EXPECT_TRUE(logged.empty());
    EXPECT_FALSE(trapped(
        context, "LoadOfficerGroups", [] { fail(codes::kNoSuchField, "no field \"CODE\""); },
        [&] { ++closed; }));
    EXPECT_FALSE(trapped(context, "NeedSave", [] { throw std::runtime_error("bad alloc-ish"); }));
    EXPECT_NO_THROW(trapped(
        context, "CloseDocument", [] { fail(codes::kUnexpected, "body"); },
        [] { fail(codes::kUnexpected, "closing"); }));
    EXPECT_EQ(closed, 2);
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_EQ(QStringList({logged[0].description, logged[0].exeName, logged[0].source,
                           QString::number(logged[0].eventType), logged[1].description,
                           logged[3].description}),
              QStringList({"no field \"CODE\"", "SCR.ZAVEK_SecurityAdmin",
                           "ZAVEK_Security.LoadOfficerGroups", "1", "bad alloc-ish", "closing"}));
    EXPECT_EQ(attempt([] { throw 42; })->code(), codes::kUnexpected);
}

// Good calls reaching the host are seen by the screen tests; here, what is refused.
TEST(ShellServicesTest, BadFlagsOrNoHostAreRefused) {
    ShellServices& services = ShellServices::Instance();
    std::int32_t save = 7, one = 1;
    std::int16_t shellBad = 2;
    QString tag = "SEC-3";
    {
        FakeShellHost host;
        EXPECT_EQ(attempt([&] { services.EnableToolbarButton(save, one, tag); })->code(),
                  codes::kInvalidArgument);
        EXPECT_TRUE(attempt([&] { services.SetShellEnabled(shellBad); }));
        EXPECT_TRUE(host.toolbar.empty() && host.shellEnabled.empty());
    }
    services.setHost(nullptr);
    const auto failure = attempt([&] { services.SetStatusText("Ready"); });
    EXPECT_TRUE(failure && failure->code() == codes::kNotConnected);
}

// The file keeps entries for the next reader, another class's removal leaves them, and a file
// that cannot be written is logged.
TEST(ComponentRegistryTest, EntriesAreKeptInTheFileAndRemovedOnlyWithTheirClass) {
    QTemporaryDir dir;
    const QString path = dir.filePath("components.ini");
    ComponentEntry entry{"SCR.ZAVEK_SecurityAdmin", "{6f1d2c1e-0000-4000-8000-000000000001}",
                         "/a.so"};
    FileComponentRegistry(path).setEntry(entry);
    FileComponentRegistry(path).removeEntry(entry.progId, "{someone-else}");
    const auto found = FileComponentRegistry(path).find(entry.progId);
    EXPECT_TRUE(found && found->classId + found->modulePath == entry.classId + entry.modulePath);
    ErrorLogger::Instance().clearRecent();
    FileComponentRegistry blocked(unwritable(dir, "components.ini"));
    blocked.setEntry(entry);
    EXPECT_TRUE(blocked.writeFailed() && !ErrorLogger::Instance().recent().empty() &&
                ErrorLogger::Instance().recent().back().description.contains("a-file"));
}

} // namespace
