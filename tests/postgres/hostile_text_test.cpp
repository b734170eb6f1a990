// Hostile texts as officer identifiers, names and search texts, through import, search, save
// and the audit report, on both databases; the PostgreSQL database runs with
// standard_conforming_strings off by default, as an older server may, which the connection
// turns on.

#include "admin/admin_cli.h"
#include "admin/audit_report.h"
#include "admin/csv.h"
#include "backend/authenticator.h"
#include "backend/demo_data.h"
#include "backend/request_processor.h"
#include "backend/schema.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "groups/catalogue_query.h"
#include "tests/admin/fake_console.h"
#include "tests/postgres/requests.h"
#include "tests/postgres/test_database.h"
#include "toolbox/officer_directory.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>

namespace zavek::testing {
namespace {

const QStringList kHostile = {
    QStringLiteral("O'Brien"),
    QStringLiteral("x';DROP TABLE OFFICER;--"),
    QStringLiteral("100%_sure"),
    QStringLiteral("\"Quoted\" Name"),
    QStringLiteral("two\nlines"),
    QStringLiteral("Ødegård 山田 Иванов"),
    QStringLiteral("back\\slash\\' OR 1=1 --"),
    QStringLiteral("=1+2"),
    QStringLiteral("@SUM(A1)"),
    QStringLiteral("-3+cmd|' /C calc'!A0"),
};

class HostileTexts : public ::testing::TestWithParam<Engine> {
protected:
    TestDatabase database{GetParam()};
    QTemporaryDir files;

    void SetUp() override {
        ZAVEK_REQUIRE_DATABASE(database);
        if (GetParam() == Engine::Postgres) {
            const QString name = QUrl(database.location()).path().mid(1);
            ASSERT_EQ(onPostgresServer(QStringLiteral("ALTER DATABASE %1 SET "
                                                      "standard_conforming_strings = off")
                                           .arg(name)),
                      QString());
        }
    }
    void TearDown() override { SessionInfo::Instance().clear(); }

    static QString idOf(int i) { return QStringLiteral("H%1 ").arg(i) + kHostile[i]; }
};

TEST_P(HostileTexts, RoundTripThroughImportSearchSaveAndAudit) {
    Connection c(database.location());
    if (GetParam() == Engine::Postgres) {
        QSqlQuery show(c.db());
        ASSERT_TRUE(show.exec(QStringLiteral("SHOW standard_conforming_strings")) && show.next());
        EXPECT_EQ(show.value(0).toString(), QStringLiteral("on"));
    }
    backend::migrate(c.db());
    backend::seedDemoData(c.db());
    const QStringList agencies = catalogueCodes(c.db(), QStringLiteral("NW"), QStringLiteral("A"));
    const QStringList groups = catalogueCodes(c.db(), QStringLiteral("NW"), QStringLiteral("P"));

    QString csv = QStringLiteral("INSP_ID,OFFICER_NAME,REGION,AGENCY_CD\r\n");
    for (int i = 0; i < kHostile.size(); ++i)
        csv += admin::csvLine({idOf(i), kHostile[i], QStringLiteral("NW"), agencies[0]}) +
               QStringLiteral("\r\n");
    const QString path = files.filePath(QStringLiteral("officers.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(csv.toUtf8());
    file.close();
    FakeConsole console;
    ASSERT_EQ(admin::AdminCli(console).run(
                  {QStringLiteral("import-officers"), path, "--database", database.location()}),
              0)
        << console.errors.toStdString();

    const QString session = backend::Authenticator(c.db())
                                .signIn(QString::fromLatin1(backend::kDemoAdminId),
                                        QString::fromLatin1(backend::kDemoAdminPassword))
                                .token;
    backend::RequestProcessor processor(c.db());
    SqlOfficerDirectory directory(c.name());
    for (int i = 0; i < kHostile.size(); ++i) {
        const QString& text = kHostile[i];
        const OfficerSearchResult found = directory.search(text, QStringLiteral("NW"), 500);
        bool listed = false;
        for (const auto& row : found.rows) {
            listed = listed || (row.id == idOf(i) && row.name == text);
            EXPECT_TRUE(row.id.contains(text, Qt::CaseInsensitive) ||
                        row.name.contains(text, Qt::CaseInsensitive))
                << "search for " << text.toStdString() << " found " << row.id.toStdString();
        }
        EXPECT_TRUE(listed) << "search for " << text.toStdString();

        const QString messageId = QStringLiteral("hostile-%1").arg(i);
        const MessageData reply = processor.process(
            saveRequest(session, idOf(i), {{groups[0], QStringLiteral("ADD")}}, messageId));
        EXPECT_TRUE(reply.errorText.isEmpty())
            << text.toStdString() << ": " << reply.errorText.toStdString();
        EXPECT_EQ(heldInReply(reply), (std::set<QString>{agencies[0], groups[0]}))
            << text.toStdString();

        admin::AuditFilter filter;
        filter.officer = idOf(i);
        const admin::AuditReport audit = admin::readAudit(c.db(), filter);
        ASSERT_EQ(audit.rows.size(), 1u) << text.toStdString();
        EXPECT_EQ(audit.rows[0][3], idOf(i));
        const admin::CsvDocument written = admin::parseCsv(admin::auditAsCsv(audit));
        ASSERT_EQ(written.records.size(), 2u) << text.toStdString();
        EXPECT_EQ(written.records[1].fields[3], admin::spreadsheetSafe(idOf(i)));
    }

    // The catalogue query is the one statement with a literal in it: a region holding a
    // backslash and a quote stays one literal and matches nothing.
    for (const QString& region : {QStringLiteral("\\' OR 1=1 --"), QStringLiteral("NW\\")}) {
        SessionInfo::Instance().establish(session, region, c.name());
        RecordTable table;
        table.Source(catalogueQuery(region));
        table.Open();
        EXPECT_EQ(table.recordCount(), 0) << region.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(BothDatabases, HostileTexts,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return std::string(engineName(info.param)); });

} // namespace
} // namespace zavek::testing
