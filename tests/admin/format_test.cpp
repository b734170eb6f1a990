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

// A spreadsheet would run these as formulas; written out, each reads as the text it is.
TEST(AuditCsv, CellsAFormulaCouldStartWithAreWrittenAsText) {
    const std::pair<const char*, const char*> table[] = {
        {"=1+2", "'=1+2"},
        {"+41", "'+41"},
        {"-3+cmd|' /C calc'!A0", "'-3+cmd|' /C calc'!A0"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\r=1", "\"'\r=1\""},
        {"a=1", "a=1"},
        {"", ""},
        {"O'Brien", "O'Brien"},
    };
    for (const auto& [cell, written] : table) {
        const AuditReport r{{"A"}, {{QString::fromUtf8(cell)}}};
        EXPECT_EQ(auditAsCsv(r),
                  QStringLiteral("A\r\n") + QString::fromUtf8(written) + QStringLiteral("\r\n"))
            << cell;
    }
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
