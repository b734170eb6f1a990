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
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace zavek::testing {
namespace {

const QStringList kHostile = {
    u"O'Brien"_s,
    u"x';DROP TABLE OFFICER;--"_s,
    u"100%_sure"_s,
    u"\"Quoted\" Name"_s,
    u"two\nlines"_s,
    u"Ødegård 山田 Иванов"_s,
    u"back\\slash\\' OR 1=1 --"_s,
    u"=1+2"_s,
    u"@SUM(A1)"_s,
    u"-3+cmd|' /C calc'!A0"_s,
};

class HostileTexts : public ::testing::TestWithParam<Engine> {
protected:
    TestDatabase database{GetParam()};
    void TearDown() override { SessionInfo::Instance().clear(); }
};

TEST_P(HostileTexts, RoundTripThroughImportSearchSaveAndAudit) {
    ZAVEK_REQUIRE_DATABASE(database);
    if (GetParam() == Engine::Postgres) {
        ASSERT_EQ(onPostgresServer(u"ALTER DATABASE %1 SET "
                                   "standard_conforming_strings = off"_s.arg(
                                       QUrl(database.location()).path().mid(1))),
                  QString());
    }
    Connection c(database.location());
    if (GetParam() == Engine::Postgres) {
        QSqlQuery show(c.db());
        ASSERT_TRUE(show.exec(u"SHOW standard_conforming_strings"_s) && show.next());
        EXPECT_EQ(show.value(0).toString(), u"on"_s);
    }
    const QString session = seededSession(c.db());
    const QStringList agencies = catalogueCodes(c.db(), u"A"_s);
    const QString group = catalogueCodes(c.db(), u"P"_s)[0];
    auto idOf = [](int i) { return u"H%1 "_s.arg(i) + kHostile[i]; };

    QString csv = u"INSP_ID,OFFICER_NAME,REGION,AGENCY_CD\r\n"_s;
    for (int i = 0; i < kHostile.size(); ++i)
        csv += admin::csvLine({idOf(i), kHostile[i], u"NW"_s, agencies[0]}) + u"\r\n"_s;
    QTemporaryDir dir;
    QFile file(dir.filePath(u"officers.csv"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(csv.toUtf8());
    file.close();
    FakeConsole console;
    ASSERT_EQ(admin::AdminCli(console).run(
                  {u"import-officers"_s, file.fileName(), "--database", database.location()}),
              0)
        << console.errors.toStdString();

    backend::RequestProcessor processor(c.db());
    SqlOfficerDirectory directory(c.name());
    for (int i = 0; i < kHostile.size(); ++i) {
        const QString& text = kHostile[i];
        const std::string where = text.toStdString();
        bool listed = false;
        for (const auto& row : directory.search(text, u"NW"_s, 500).rows) {
            listed = listed || (row.id == idOf(i) && row.name == text);
            EXPECT_TRUE(row.id.contains(text, Qt::CaseInsensitive) ||
                        row.name.contains(text, Qt::CaseInsensitive))
                << "search for " << where << " found " << row.id.toStdString();
        }
        EXPECT_TRUE(listed) << "search for " << where;

        const MessageData reply = processor.process(
            saveRequest(session, idOf(i), {{group, u"ADD"_s}}, u"hostile-%1"_s.arg(i)));
        EXPECT_TRUE(reply.errorText.isEmpty()) << where << ": " << reply.errorText.toStdString();
        EXPECT_EQ(heldInReply(reply), (std::set<QString>{agencies[0], group})) << where;

        admin::AuditFilter filter;
        filter.officer = idOf(i);
        const admin::AuditReport audit = admin::readAudit(c.db(), filter);
        ASSERT_EQ(audit.rows.size(), 1u) << where;
        EXPECT_EQ(audit.rows[0][3], idOf(i));
        const admin::CsvDocument written = admin::parseCsv(admin::auditAsCsv(audit));
        ASSERT_EQ(written.records.size(), 2u) << where;
        EXPECT_EQ(written.records[1].fields[3], admin::spreadsheetSafe(idOf(i)));
    }

    // The catalogue query is the one statement with a literal in it: a region holding a
    // backslash and a quote stays one literal and matches nothing.
    for (const QString& region : {u"\\' OR 1=1 --"_s, u"NW\\"_s}) {
        SessionInfo::Instance().establish(session, region, c.name());
        RecordTable table;
        table.Source(catalogueQuery(region));
        table.Open();
        EXPECT_EQ(table.recordCount(), 0) << region.toStdString();
    }
}

ZAVEK_BOTH_DATABASES(HostileTexts);

} // namespace
} // namespace zavek::testing
