#include "common/component_registry.h"
#include "common/error_logger.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace zavek;

class ComponentRegistryTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("components.ini")); }
    ComponentEntry security{QStringLiteral("SCR.ZAVEK_SecurityAdmin"),
                            QStringLiteral("{6f1d2c1e-0000-4000-8000-000000000001}"),
                            QStringLiteral("/opt/zavek/plugins/libzavek_document.so")};
    QTemporaryDir dir;
};

TEST_F(ComponentRegistryTest, EntryIsFoundAgainByAnotherRegistryOnTheSameFile) {
    FileComponentRegistry(path()).setEntry(security);
    const auto found = FileComponentRegistry(path()).find(security.progId);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->progId, security.progId);
    EXPECT_EQ(found->classId, security.classId);
    EXPECT_EQ(found->modulePath, security.modulePath);
}

TEST_F(ComponentRegistryTest, UnknownNameIsNotFound) {
    FileComponentRegistry registry(path());
    registry.setEntry(security);
    EXPECT_FALSE(registry.find(QStringLiteral("SCR.Other")));
}

TEST_F(ComponentRegistryTest, SettingAnEntryAgainReplacesIt) {
    FileComponentRegistry registry(path());
    registry.setEntry(security);
    ComponentEntry moved = security;
    moved.modulePath = QStringLiteral("/elsewhere/libzavek_document.so");
    registry.setEntry(moved);
    EXPECT_EQ(registry.find(security.progId)->modulePath, moved.modulePath);
}

TEST_F(ComponentRegistryTest, RemovalNeedsTheMatchingClassIdentifier) {
    FileComponentRegistry registry(path());
    registry.setEntry(security);
    registry.removeEntry(security.progId, QStringLiteral("{someone-else}"));
    EXPECT_TRUE(registry.find(security.progId));
    registry.removeEntry(security.progId, security.classId);
    EXPECT_FALSE(FileComponentRegistry(path()).find(security.progId));
}

TEST_F(ComponentRegistryTest, OtherEntriesSurviveARemoval) {
    FileComponentRegistry registry(path());
    ComponentEntry other{QStringLiteral("SCR.Other"), QStringLiteral("{2}"),
                         QStringLiteral("/o.so")};
    registry.setEntry(security);
    registry.setEntry(other);
    registry.removeEntry(security.progId, security.classId);
    EXPECT_TRUE(registry.find(other.progId));
}

TEST_F(ComponentRegistryTest, UnwritableFileIsReportedAndLogged) {
    QFile blocker(dir.filePath(QStringLiteral("a-file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ErrorLogger::Instance().setLogFile(QString());
    ErrorLogger::Instance().clearRecent();
    FileComponentRegistry registry(dir.filePath(QStringLiteral("a-file/components.ini")));
    registry.setEntry(security);
    EXPECT_TRUE(registry.writeFailed());
    ASSERT_FALSE(ErrorLogger::Instance().recent().empty());
    EXPECT_TRUE(
        ErrorLogger::Instance().recent().back().description.contains(QStringLiteral("a-file")));
    FileComponentRegistry good(path());
    good.setEntry(security);
    EXPECT_FALSE(good.writeFailed());
}
