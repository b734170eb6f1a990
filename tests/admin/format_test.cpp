// zavek-admin's file formats: reading CSV, checking an import line by line, and the texts it
// writes for a terminal and for a spreadsheet.

#include "admin/audit_report.h"
#include "admin/catalogue_import.h"
#include "admin/csv.h"
#include "admin/csv_table.h"
#include "admin/officer_import.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

using namespace zavek::admin;

namespace {

// Each text read as "line:field|field;..." or refused at a line, "error N".
TEST(CsvReading, RecordsAreReadWithTheirLineOrRefusedWhereTheErrorStarts) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"a,\"b, c\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",x,\r\n", "1:a|b, c|say \"hi\";2:two\nlines|x|"},
        {"h1,h2\n\n\"a\nb\",c\nd,e", "1:h1|h2;3:a\nb|c;5:d|e"},
        {"\xEF\xBB\xBFREGION,X\n", "1:REGION|X"}, // a byte order mark is not a column's
        {"a,b\nc,\"open\nmore\n", "error 2"}, {"a,b\n\"c\"d,e\n", "error 2"}};
    // clang-format on
    for (const auto& [text, want] : cases) {
        const CsvDocument d = parseCsv(QString::fromUtf8(text));
        QStringList got;
        for (const auto& record : d.records)
            got << QString::number(record.line) + ':' + record.fields.join('|');
        EXPECT_EQ(d.error ? "error " + QString::number(d.error->line) : got.join(';'), want)
            << text;
    }
}

// A spreadsheet would run these as formulas; written out, each reads as the text it is.
TEST(CsvWriting, CellsAFormulaCouldStartWithAreWrittenAsText) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"=1+2", "'=1+2"}, {"+41", "'+41"}, {"-3+cmd|' /C calc'!A0", "'-3+cmd|' /C calc'!A0"},
        {"@SUM(A1)", "'@SUM(A1)"}, {"\tx", "'\tx"}, {"\r=1", "\"'\r=1\""}, {"a=1", "a=1"}, {"", ""},
        {"O'Brien", "O'Brien"}, {"x,y", "\"x,y\""}};
    // clang-format on
    for (const auto& [cell, written] : cases)
        EXPECT_EQ(auditAsCsv({{"A"}, {{QString::fromUtf8(cell)}}}),
                  u"A\r\n"_s + QString::fromUtf8(written) + u"\r\n"_s)
            << cell;
}

// Every refused line of an import, each named with its line: the columns, the catalogue's rows,
// and the officers' rows checked against the catalogue of their region.
TEST(ImportChecks, EveryBadLineIsListedWithItsNumber) {
    const char* const kOfficerHeader = "INSP_ID,OFFICER_NAME,REGION,AGENCY_CD,GROUP_CODES\n";
    // clang-format off
    const CatalogueState catalogue{{{groupKey("NW", "HELD"), "P"}, {groupKey("NW", "FREE"), "P"}, {groupKey("NW", "AG1"), "A"},
        {groupKey("NW", "AG2"), "A"}, {groupKey("NW", "G1"), "P"}, {groupKey("NW", "G2"), "P"}, {groupKey("SE", "SAG"), "A"}},
        {groupKey("NW", "HELD")}};
    const OfficerState officers{catalogue, {{"I9", "NW"}}, {}};
    const std::tuple<bool, QString, QStringList> cases[] = { // an officers' file?, its text, the errors
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
    for (const auto& [officerFile, text, want] : cases) {
        std::vector<LineError> errors;
        QStringList read; // what was accepted, when nothing was refused
        if (officerFile) {
            for (const auto& e :
                 validateOfficers(readCsvTable(text, OfficerImport::requiredColumns(),
                                               OfficerImport::optionalColumns(), errors),
                                  officers, errors))
                read << e.inspId + ':' + e.groups.value_or(QStringList{u"-"_s}).join(';');
        } else {
            for (const auto& e : validateCatalogue(
                     readCsvTable(text, CatalogueImport::columns(), {}, errors), catalogue, errors))
                read << QString::number(e.line) + ':' + e.type + e.description;
        }
        QStringList texts;
        std::ranges::transform(errors, std::back_inserter(texts), &LineError::text);
        EXPECT_EQ(texts, want) << text.toStdString();
        // The groups are split on semicolons, each once; an officer moving region without its
        // groups is not imported at all.
        EXPECT_TRUE(errors.empty() ? (read == QStringList{"I1:G1;G2", "I2:"}) ||
                                         (read == QStringList{"2:AAgency one", "3:PGroup, one"})
                                   : !text.contains(u"I9") || read.isEmpty())
            << read.join(' ').toStdString();
    }
}

} // namespace
