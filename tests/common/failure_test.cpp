#include "common/error_logger.h"
#include "common/failure.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace zavek;

class TrapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorLogger::Instance().setLogFile(QString());
        ErrorLogger::Instance().clearRecent();
    }
    const std::deque<LogEntry>& logged() const { return ErrorLogger::Instance().recent(); }
    const TrapContext context{QStringLiteral("SCR.ZAVEK_SecurityAdmin"),
                              QStringLiteral("ZAVEK_Security.")};
};

TEST_F(TrapTest, StopCodeHasItsFixedValue) {
    EXPECT_EQ(codes::kStop, 0x800403E8u);
}

TEST_F(TrapTest, FailureCarriesCodeAndDescription) {
    const Failure f(codes::kStop, QStringLiteral("stopped: Ø"));
    EXPECT_EQ(f.code(), 0x800403E8u);
    EXPECT_EQ(f.description(), QStringLiteral("stopped: Ø"));
    EXPECT_STREQ(f.what(), "stopped: Ø");
}

TEST_F(TrapTest, TrappedFailureIsLoggedWithItsSourceAndNeverEscapes) {
    bool closed = false;
    bool ok = true;
    EXPECT_NO_THROW(ok = trapped(
                        context, "LoadOfficerGroups",
                        [] { fail(codes::kNoSuchField, QStringLiteral("no field \"CODE\"")); },
                        [&] { closed = true; }));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(closed);
    ASSERT_EQ(logged().size(), 1u);
    EXPECT_EQ(logged()[0].description, QStringLiteral("no field \"CODE\""));
    EXPECT_EQ(logged()[0].exeName, QStringLiteral("SCR.ZAVEK_SecurityAdmin"));
    EXPECT_EQ(logged()[0].source, QStringLiteral("ZAVEK_Security.LoadOfficerGroups"));
    EXPECT_EQ(logged()[0].eventType, 1);
}

TEST_F(TrapTest, SuccessLogsNothingAndStillCloses) {
    bool closed = false;
    EXPECT_TRUE(trapped(
        context, "SaveData", [] {}, [&] { closed = true; }));
    EXPECT_TRUE(closed);
    EXPECT_TRUE(logged().empty());
}

TEST_F(TrapTest, ForeignExceptionIsTrappedAsUnexpected) {
    EXPECT_FALSE(trapped(context, "NeedSave", [] { throw std::runtime_error("bad alloc-ish"); }));
    ASSERT_EQ(logged().size(), 1u);
    EXPECT_EQ(logged()[0].description, QStringLiteral("bad alloc-ish"));
    const auto unknown = attempt([] { throw 42; });
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->code(), codes::kUnexpected);
}

TEST_F(TrapTest, FailingClosingStepIsLoggedToo) {
    EXPECT_NO_THROW(trapped(
        context, "CloseDocument", [] { fail(codes::kUnexpected, QStringLiteral("body")); },
        [] { fail(codes::kUnexpected, QStringLiteral("closing")); }));
    ASSERT_EQ(logged().size(), 2u);
    EXPECT_EQ(logged()[1].description, QStringLiteral("closing"));
}

TEST_F(TrapTest, AttemptReturnsTheFailureWithoutLogging) {
    const auto failure = attempt([] { fail(codes::kStop, QStringLiteral("stop")); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kStop);
    EXPECT_FALSE(attempt([] {}));
    EXPECT_TRUE(logged().empty());
}
