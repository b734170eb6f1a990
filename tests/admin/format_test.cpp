#include "admin/audit_report.h"
#include "admin/console.h"
#include "admin/text_table.h"

#include <gtest/gtest.h>

using namespace zavek::admin;

namespace {

TEST(TextTable, ColumnsAreAsWideAsTheirWidestCell) {
    const QString t = formatTextTable({"ID", "NAME"}, {{"1", "Ann"}, {"1234", "Bo"}});
    EXPECT_EQ(t, QStringLiteral("ID    NAME\n"
                                "----  ----\n"
                                "1     Ann\n"
                                "1234  Bo\n"));
}

TEST(AuditCsv, FieldsAreQuotedAndLinesEndInCrLf) {
    AuditReport r{{"A", "B"}, {{"1", "x,y"}}};
    EXPECT_EQ(auditAsCsv(r), QStringLiteral("A,B\r\n1,\"x,y\"\r\n"));
}

TEST(SinceDate, ADateMeansItsMidnightAndATimeIsKept) {
    EXPECT_EQ(parseSince("2026-12-01"), QDate(2026, 12, 1).startOfDay());
    EXPECT_EQ(parseSince("2026-12-01T08:30"), QDateTime(QDate(2026, 12, 1), QTime(8, 30)));
    EXPECT_FALSE(parseSince("yesterday"));
    EXPECT_FALSE(parseSince("2026-13-01"));
}

TEST(ProgressBar, ShowsTheShareDoneAndTheCount) {
    EXPECT_EQ(TerminalProgressBar::render("Importing", 5, 10, 10),
              QStringLiteral("Importing [#####     ] 5/10"));
    EXPECT_EQ(TerminalProgressBar::render("Importing", 0, 0, 4),
              QStringLiteral("Importing [####] 0/0"));
}

} // namespace
