// zavek-admin's file formats: reading CSV, checking an import line by line, and the texts it
// writes for a terminal and for a spreadsheet.

#include "admin/audit_report.h"
#include "admin/catalogue_import.h"
#include "admin/console.h"
#include "admin/csv.h"
#include "admin/csv_table.h"
#include "admin/officer_import.h"
#include "admin/text_table.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

using namespace zavek::admin;

namespace {

QStringList texts(const std::vector<LineError>& errors) {
    QStringList out;
    for (const auto& e : errors)
        out << e.text();
    return out;
}

TEST(CsvReading, RecordsAreReadWithTheirLineOrRefusedWhereTheErrorStarts) {
    struct Case {
        const char* text;
        std::vector<std::pair<int, QStringList>> records; // line, fields
        int errorLine = 0;
    };
    // clang-format off
    const Case cases[] = {
        {"a,\"b, c\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",x,\r\n",
         {{1, {"a", "b, c", "say \"hi\""}}, {2, {"two\nlines", "x", ""}}}},
        {"h1,h2\n\n\"a\nb\",c\nd,e", {{1, {"h1", "h2"}}, {3, {"a\nb", "c"}}, {5, {"d", "e"}}}},
        {"\xEF\xBB\xBFREGION,X\n", {{1, {"REGION", "X"}}}}, // a byte order mark is not a column's
        {"a,b\nc,\"open\nmore\n", {}, 2},
        {"a,b\n\"c\"d,e\n", {}, 2},
    };
    // clang-format on
    for (const Case& c : cases) {
        const CsvDocument d = parseCsv(QString::fromUtf8(c.text));
        EXPECT_EQ(d.error ? d.error->line : 0, c.errorLine) << c.text;
        if (d.error)
            continue;
        ASSERT_EQ(d.records.size(), c.records.size()) << c.text;
        for (std::size_t i = 0; i < d.records.size(); ++i) {
            EXPECT_EQ(d.records[i].line, c.records[i].first) << c.text;
            EXPECT_EQ(d.records[i].fields, c.records[i].second) << c.text;
        }
    }
}

TEST(CsvWriting, FieldsAreQuotedOnlyWhenTheyMustBeAndReadBackUnchanged) {
    EXPECT_EQ(csvLine({"plain", "a,b", "say \"x\"", "two\nlines"}),
              u"plain,\"a,b\",\"say \"\"x\"\"\",\"two\nlines\""_s);
    const QStringList fields{"a,b", "\"", "", "x\r\ny"};
    const auto d = parseCsv(csvLine(fields) + u"\r\n"_s);
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_EQ(d.records[0].fields, fields);
    EXPECT_EQ(auditAsCsv({{"A", "B"}, {{"1", "x,y"}}}), u"A,B\r\n1,\"x,y\"\r\n"_s);
}

// A spreadsheet would run these as formulas; written out, each reads as the text it is.
TEST(CsvWriting, CellsAFormulaCouldStartWithAreWrittenAsText) {
    const std::pair<const char*, const char*> cases[] = {
        {"=1+2", "'=1+2"},
        {"+41", "'+41"},
        {"-3+cmd|' /C calc'!A0", "'-3+cmd|' /C calc'!A0"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\r=1", "\"'\r=1\""},
        {"a=1", "a=1"},
        {"", ""},
        {"O'Brien", "O'Brien"}};
    for (const auto& [cell, written] : cases)
        EXPECT_EQ(auditAsCsv({{"A"}, {{QString::fromUtf8(cell)}}}),
                  u"A\r\n"_s + QString::fromUtf8(written) + u"\r\n"_s)
            << cell;
}

// Every refused line of an import, each named with its line: the columns, the catalogue's rows,
// and the officers' rows checked against the catalogue of their region.
TEST(ImportChecks, EveryBadLineIsListedWithItsNumber) {
    CatalogueState catalogue;
    catalogue.typeOf.insert(groupKey("NW", "HELD"), "P");
    catalogue.typeOf.insert(groupKey("NW", "FREE"), "P");
    catalogue.held.insert(groupKey("NW", "HELD"));
    OfficerState officers;
    for (auto [code, type] : {std::pair{"AG1", "A"}, {"AG2", "A"}, {"G1", "P"}, {"G2", "P"}})
        officers.catalogue.typeOf.insert(groupKey("NW", code), type);
    officers.catalogue.typeOf.insert(groupKey("SE", "SAG"), "A");
    officers.regionOf.insert("I9", "NW");
    const char* const kOfficerHeader = "INSP_ID,OFFICER_NAME,REGION,AGENCY_CD,GROUP_CODES\n";
    struct Case {
        bool officerFile;
        QString text;
        QStringList errors;
    };
    // clang-format off
    const Case cases[] = {
        {false, "REGION,GRP_TYP_CD,GRP_CD,GRP_DES\nNW,A,AG1,Agency one\nNW,p,G1,\"Group, one\"\n", {}},
        {false, "REGION,GRP_TYP_CD,GRP_CD,GRP_DES\nNW,A,AG1,Agency\nNW,X,G1,Group\n,P,G2,Group\nNW,P,,Group\nNW,P,G3,\n",
         {"line 3: GRP_TYP_CD must be A or P, not \"X\"", "line 4: REGION is empty",
          "line 5: GRP_CD is empty", "line 6: GRP_DES is empty"}},
        {false, "REGION,GRP_TYP_CD,GRP_CD,GRP_DES\nNW,P,G1,One\nSE,P,G1,Other region\nNW,P,G1,Again\n",
         {"line 4: GRP_CD \"G1\" of region NW was already given on line 2"}},
        {false, "REGION,GRP_TYP_CD,GRP_CD,GRP_DES\nNW,A,HELD,Now an agency\nNW,A,FREE,Unheld\n",
         {"line 2: GRP_CD \"HELD\" of region NW is held by officers as type P; its type cannot change to A"}},
        {false, "grp_cd, Region,GRP_TYP_CD,GRP_DES,COLOUR\n",
         {"line 1: unknown column \"COLOUR\"; the columns are REGION,GRP_TYP_CD,GRP_CD,GRP_DES"}},
        {false, "REGION,GRP_TYP_CD,GRP_DES\n", {"line 1: the column GRP_CD is missing"}},
        {false, "REGION,GRP_TYP_CD,GRP_CD,GRP_DES\nNW,A\nNW,A,AG1,Agency,extra\n",
         {"line 2: 2 fields, but the header names 4 columns", "line 3: 5 fields, but the header names 4 columns"}},
        {false, "", {"line 1: the file is empty; the first line must name the columns REGION,GRP_TYP_CD,GRP_CD,GRP_DES"}},
        {true, QString(kOfficerHeader) + "I1,Ann,NW,AG1,G1; G2;G1\nI2,Bo,NW,AG2,\n", {}},
        {true, QString(kOfficerHeader) + "I1,Ann,NW,G1,AG2\nI2,Bo,NW,SAG,G9\nI3,Cy,XX,AG1,\nI4,Di,NW,,\n",
         {"line 2: AGENCY_CD \"G1\" is a security group of region NW, not an agency",
          "line 2: GROUP_CODES: \"AG2\" is an agency of region NW; give it as AGENCY_CD",
          "line 3: AGENCY_CD \"SAG\" is not an agency of region NW",
          "line 3: GROUP_CODES: \"G9\" is not a security group of region NW",
          "line 4: REGION \"XX\" has no groups in the catalogue; import its catalogue first",
          "line 5: AGENCY_CD is empty; every officer needs exactly one agency"}},
        {true, "INSP_ID,OFFICER_NAME,REGION,AGENCY_CD\nI1,Ann,NW,AG1\nI1,Ann,NW,AG2\n",
         {"line 3: INSP_ID \"I1\" was already given on line 2"}},
        {true, "INSP_ID,OFFICER_NAME,REGION,AGENCY_CD\nI9,Ann,SE,SAG\n",
         {"line 2: officer I9 moves from region NW to SE; add a GROUP_CODES column so that the groups fit the new region"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        std::vector<LineError> errors;
        if (c.officerFile) {
            const auto entries =
                validateOfficers(readCsvTable(c.text, OfficerImport::requiredColumns(),
                                              OfficerImport::optionalColumns(), errors),
                                 officers, errors);
            if (errors.empty()) { // the groups are split on semicolons, each once
                ASSERT_EQ(entries.size(), 2u);
                EXPECT_EQ(entries[0].groups, (QStringList{"G1", "G2"}));
                EXPECT_EQ(entries[1].groups, QStringList{});
            }
            // An officer moving region without its groups is not imported at all.
            EXPECT_TRUE(!c.text.contains(u"I9") || entries.empty());
        } else {
            const auto entries = validateCatalogue(
                readCsvTable(c.text, CatalogueImport::columns(), {}, errors), catalogue, errors);
            if (errors.empty()) {
                ASSERT_EQ(entries.size(), 2u);
                EXPECT_EQ(entries[1].type + entries[1].description, u"PGroup, one"_s);
                EXPECT_EQ(entries[1].line, 3);
            }
        }
        EXPECT_EQ(texts(errors), c.errors) << c.text.toStdString();
    }
}

TEST(TerminalTexts, TablesDatesAndProgressAreWrittenAsTheOperatorReadsThem) {
    EXPECT_EQ(formatTextTable({"ID", "NAME"}, {{"1", "Ann"}, {"1234", "Bo"}}),
              u"ID    NAME\n----  ----\n1     Ann\n1234  Bo\n"_s);
    EXPECT_EQ(parseSince("2026-12-01"), QDate(2026, 12, 1).startOfDay());
    EXPECT_EQ(parseSince("2026-12-01T08:30"), QDateTime(QDate(2026, 12, 1), QTime(8, 30)));
    EXPECT_FALSE(parseSince("yesterday"));
    EXPECT_FALSE(parseSince("2026-13-01"));
    EXPECT_EQ(TerminalProgressBar::render("Importing", 5, 10, 10),
              u"Importing [#####     ] 5/10"_s);
    EXPECT_EQ(TerminalProgressBar::render("Importing", 0, 0, 4), u"Importing [####] 0/0"_s);
}

} // namespace
