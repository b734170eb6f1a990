// Hostile texts as officer identifiers, names and search texts, through import, search, save
// and the audit report, on both databases; the PostgreSQL database runs with
// standard_conforming_strings off by default, as an older server may, which the connection
// turns on.

#include "admin/admin_cli.h"
#include "admin/audit_report.h"
#include "admin/csv.h"
#include "backend/request_processor.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "groups/catalogue_query.h"
#include "tests/admin/fake_console.h"
#include "tests/postgres/test_database.h"
#include "toolbox/officer_directory.h"

#include <QFile>
#include <QUrl>

#include <gtest/gtest.h>

namespace zavek::testing {
namespace {

using HostileTexts = ::testing::TestWithParam<Engine>;

TEST_P(HostileTexts, RoundTripThroughImportSearchSaveAndAudit) {
    TestDatabase database(GetParam());
    ZAVEK_REQUIRE_DATABASE(database);
    ASSERT_TRUE(GetParam() == Engine::Sqlite ||
                onPostgresServer("ALTER DATABASE " + QUrl(database.location()).path().mid(1) +
                                 " SET standard_conforming_strings = off") == "");
    Connection c(database.location());
    const QString session = seededSession(c.db());
    const QString agency = catalogueCodes(c.db(), "A")[0], group = catalogueCodes(c.db(), "P")[0];
    // Quotes, an injection, wildcards, a line break, other scripts, a backslash, a formula.
    // clang-format off
    const QStringList hostile = {"O'Brien", "x';DROP TABLE OFFICER;--", "100%_sure", "\"Quoted\" Name", "two\nlines",
                                 "Ødegård 山田 Иванов", "back\\slash\\' OR 1=1 --", "-3+cmd|' /C calc'!A0"};
    // clang-format on
    auto idOf = [&](int i) { return QStringLiteral("H%1 ").arg(i) + hostile[i]; };
    QFile file(database.dir_.filePath("officers.csv"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("INSP_ID,OFFICER_NAME,REGION,AGENCY_CD\r\n");
    for (int i = 0; i < hostile.size(); ++i)
        file.write((admin::csvLine({idOf(i), hostile[i], "NW", agency}) + "\r\n").toUtf8());
    file.close();
    FakeConsole console;
    ASSERT_EQ(admin::AdminCli(console).run(
                  {"import-officers", file.fileName(), "--database", database.location()}),
              0)
        << console.errors.toStdString();

    backend::RequestProcessor processor(c.db());
    SqlOfficerDirectory directory(c.name());
    for (int i = 0; i < hostile.size(); ++i) {
        const std::string where = hostile[i].toStdString();
        bool listed = false;
        for (const auto& row : directory.search(hostile[i], "NW", 500).rows) {
            listed = listed || (row.id == idOf(i) && row.name == hostile[i]);
            EXPECT_TRUE(row.id.contains(hostile[i], Qt::CaseInsensitive) ||
                        row.name.contains(hostile[i], Qt::CaseInsensitive))
                << "search for " << where << " found " << row.id.toStdString();
        }
        EXPECT_TRUE(listed) << "search for " << where;
        const MessageData reply =
            processor.process(saveRequest(session, idOf(i), {{group, "ADD"}}));
        EXPECT_EQ(heldInReply(reply), (std::set<QString>{agency, group}))
            << where << reply.errorText.toStdString();
        const admin::AuditReport audit = admin::readAudit(c.db(), {idOf(i), {}});
        EXPECT_EQ(audit.rows.size() == 1 ? audit.rows[0][3] : QString(), idOf(i)) << where;
    }

    // The catalogue query is the one statement with a literal in it: a region holding a
    // backslash and a quote stays one literal and matches nothing. The fields are found by
    // their upper-case names, though PostgreSQL folds them to lower case.
    for (const auto& [region, rows] : {std::pair{"\\' OR 1=1 --", 0}, {"NW\\", 0}, {"NW", 1}}) {
        SessionInfo::Instance().establish(session, region, c.name());
        RecordTable table;
        table.Source(catalogueQuery(region));
        table.Open();
        EXPECT_EQ(std::min(table.recordCount(), 1), rows) << region;
        EXPECT_TRUE(!rows || table.field("GRP_TYP_CD").Text() + table.field("GRP_CD").Text() ==
                                 "A" + agency);
    }
    SessionInfo::Instance().clear();
}

ZAVEK_BOTH_DATABASES(HostileTexts);

} // namespace
} // namespace zavek::testing
