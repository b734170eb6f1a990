#include "common/error_logger.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace zavek;

class ErrorLoggerTest : public ::testing::Test {
protected:
    void SetUp() override { logger.setLogFile(dir.filePath(QStringLiteral("logs/error.log"))); }

    QStringList lines() const {
        QFile file(logger.logFile());
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    QTemporaryDir dir;
    ErrorLogger logger;
};

TEST_F(ErrorLoggerTest, EachEntryIsOneLineWithEveryPart) {
    logger.LogError(QStringLiteral("Table \"VRD_GROUP\" has no field \"CODE\"."),
                    QStringLiteral("SCR.ZAVEK_SecurityAdmin"),
                    QStringLiteral("ZAVEK_Security.InitializeListView"), std::nullopt, 1);
    logger.LogError(QStringLiteral("second"), QStringLiteral("exe"), QStringLiteral("src"),
                    QVariant(5), 3);
    const QStringList written = lines();
    ASSERT_EQ(written.size(), 2);
    const QStringList parts = written[0].split(QLatin1Char('\t'));
    ASSERT_EQ(parts.size(), 5);
    EXPECT_TRUE(QDateTime::fromString(parts[0], Qt::ISODateWithMs).isValid());
    EXPECT_EQ(parts[1], QStringLiteral("Table \"VRD_GROUP\" has no field \"CODE\"."));
    EXPECT_EQ(parts[2], QStringLiteral("SCR.ZAVEK_SecurityAdmin"));
    EXPECT_EQ(parts[3], QStringLiteral("ZAVEK_Security.InitializeListView"));
    EXPECT_EQ(parts[4], QStringLiteral("1"));
    EXPECT_TRUE(written[1].endsWith(QStringLiteral("\tsecond\texe\tsrc\t3")));
}

TEST_F(ErrorLoggerTest, LineBreaksAndTabsInTextsStayOnTheEntrysLine) {
    logger.LogError(QStringLiteral("first line\nsecond\tline"), QStringLiteral("exe"),
                    QStringLiteral("src"), std::nullopt, 1);
    const QStringList written = lines();
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written[0].split(QLatin1Char('\t')).size(), 5);
    EXPECT_TRUE(written[0].contains(QStringLiteral("first line second line")));
}

TEST_F(ErrorLoggerTest, UnicodeIsWrittenAsIs) {
    logger.LogError(QStringLiteral("Ødegård 山田"), QStringLiteral("exe"), QStringLiteral("src"),
                    std::nullopt, 1);
    ASSERT_EQ(lines().size(), 1);
    EXPECT_TRUE(lines()[0].contains(QStringLiteral("Ødegård 山田")));
}

TEST_F(ErrorLoggerTest, ObserversSeeEveryEntryUntilRemoved) {
    std::vector<LogEntry> seen;
    const int id = logger.addObserver([&](const LogEntry& e) { seen.push_back(e); });
    logger.LogError(QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("s"), std::nullopt, 1);
    logger.removeObserver(id);
    logger.LogError(QStringLiteral("later"), QStringLiteral("e"), QStringLiteral("s"), std::nullopt,
                    1);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].description, QStringLiteral("d"));
    EXPECT_EQ(seen[0].exeName, QStringLiteral("e"));
    EXPECT_EQ(seen[0].source, QStringLiteral("s"));
    EXPECT_EQ(seen[0].eventType, 1);
    EXPECT_TRUE(seen[0].time.isValid());
    EXPECT_EQ(logger.recent().size(), 2u);
}

TEST_F(ErrorLoggerTest, UnwritablePathNeverThrowsAndEntryIsStillObserved) {
    QFile blocker(dir.filePath(QStringLiteral("a-file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    logger.setLogFile(dir.filePath(QStringLiteral("a-file/below/error.log")));
    int observed = 0;
    logger.addObserver([&](const LogEntry&) { ++observed; });
    EXPECT_NO_THROW(logger.LogError(QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("s"),
                                    std::nullopt, 1));
    EXPECT_EQ(observed, 1);
    EXPECT_EQ(logger.recent().size(), 1u);
}

TEST_F(ErrorLoggerTest, FailingObserverDoesNotEscape) {
    logger.addObserver([](const LogEntry&) { throw std::runtime_error("observer broke"); });
    EXPECT_NO_THROW(logger.LogError(QStringLiteral("d"), QStringLiteral("e"), QStringLiteral("s"),
                                    std::nullopt, 1));
    EXPECT_EQ(lines().size(), 1);
}

TEST_F(ErrorLoggerTest, RecentEntriesAreBounded) {
    logger.setLogFile(QString());
    for (int i = 0; i < 1500; ++i)
        logger.LogError(QString::number(i), QStringLiteral("e"), QStringLiteral("s"), std::nullopt,
                        1);
    EXPECT_LT(logger.recent().size(), 1500u);
    EXPECT_EQ(logger.recent().back().description, QStringLiteral("1499"));
}

TEST(ErrorLoggerDefaults, LogFileIsUnderTheConfiguredDirectory) {
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("ZAVEK_LOG_DIR");
    qputenv("ZAVEK_LOG_DIR", dir.path().toUtf8());
    ErrorLogger logger;
    qputenv("ZAVEK_LOG_DIR", saved);
    EXPECT_EQ(QDir::cleanPath(logger.logFile()),
              QDir::cleanPath(dir.filePath(QStringLiteral("error.log"))));
}

TEST(ErrorLoggerDefaults, WithoutConfigurationLogFileIsInTheUsersDataDirectory) {
    const QByteArray saved = qgetenv("ZAVEK_LOG_DIR");
    qunsetenv("ZAVEK_LOG_DIR");
    ErrorLogger logger;
    qputenv("ZAVEK_LOG_DIR", saved);
    EXPECT_TRUE(logger.logFile().endsWith(QStringLiteral("/zavek/error.log")));
    EXPECT_TRUE(logger.logFile().startsWith(QDir::homePath()) ||
                !qEnvironmentVariableIsEmpty("XDG_DATA_HOME"));
}
