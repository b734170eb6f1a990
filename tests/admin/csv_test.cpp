#include "admin/csv.h"
#include "admin/csv_table.h"

#include <gtest/gtest.h>

using namespace zavek::admin;

namespace {

QStringList fieldsOf(const CsvDocument& d, std::size_t i) {
    return d.records.at(i).fields;
}

TEST(CsvReading, QuotedFieldsKeepCommasQuotesAndLineBreaks) {
    const auto d =
        parseCsv(QStringLiteral("a,\"b, c\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",x,\r\n"));
    ASSERT_FALSE(d.error);
    ASSERT_EQ(d.records.size(), 2u);
    EXPECT_EQ(fieldsOf(d, 0), (QStringList{"a", "b, c", "say \"hi\""}));
    EXPECT_EQ(fieldsOf(d, 1), (QStringList{"two\nlines", "x", ""}));
}

TEST(CsvReading, RecordsKnowTheLineTheyStartOn) {
    const auto d = parseCsv(QStringLiteral("h1,h2\n\n\"a\nb\",c\nd,e"));
    ASSERT_FALSE(d.error);
    ASSERT_EQ(d.records.size(), 3u);
    EXPECT_EQ(d.records[0].line, 1);
    EXPECT_EQ(d.records[1].line, 3);
    EXPECT_EQ(d.records[2].line, 5);
    EXPECT_EQ(fieldsOf(d, 2), (QStringList{"d", "e"}));
}

TEST(CsvReading, AByteOrderMarkIsNotPartOfTheFirstColumn) {
    const auto d = parseCsv(QString(QChar(0xFEFF)) + QStringLiteral("REGION,X\n"));
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_EQ(fieldsOf(d, 0).front(), QStringLiteral("REGION"));
}

TEST(CsvReading, AnUnclosedQuoteIsReportedWhereItStarts) {
    const auto d = parseCsv(QStringLiteral("a,b\nc,\"open\nmore\n"));
    ASSERT_TRUE(d.error);
    EXPECT_EQ(d.error->line, 2);
}

TEST(CsvReading, TextAfterAClosingQuoteIsAnError) {
    const auto d = parseCsv(QStringLiteral("a,b\n\"c\"d,e\n"));
    ASSERT_TRUE(d.error);
    EXPECT_EQ(d.error->line, 2);
}

TEST(CsvWriting, FieldsAreQuotedOnlyWhenTheyMustBe) {
    EXPECT_EQ(csvLine({"plain", "a,b", "say \"x\"", "two\nlines"}),
              QStringLiteral("plain,\"a,b\",\"say \"\"x\"\"\",\"two\nlines\""));
}

TEST(CsvWriting, WrittenFieldsReadBackUnchanged) {
    const QStringList fields{"a,b", "\"", "", "x\r\ny"};
    const auto d = parseCsv(csvLine(fields) + QStringLiteral("\r\n"));
    ASSERT_EQ(d.records.size(), 1u);
    EXPECT_EQ(fieldsOf(d, 0), fields);
}

class CsvTableReading : public ::testing::Test {
protected:
    std::vector<LineError> errors;
    CsvTable read(const QString& text) {
        return readCsvTable(text, {"REGION", "GRP_CD"}, {"GRP_DES"}, errors);
    }
    QStringList errorTexts() const {
        QStringList out;
        for (const auto& e : errors)
            out << e.text();
        return out;
    }
};

TEST_F(CsvTableReading, ColumnsAreMatchedWithoutLetterCaseAndInAnyOrder) {
    const auto t = read(QStringLiteral("grp_cd, Region\nX1,NW\n"));
    ASSERT_TRUE(errors.empty()) << errorTexts().join('\n').toStdString();
    ASSERT_EQ(t.rows.size(), 1u);
    EXPECT_EQ(t.rows[0].value("REGION"), QStringLiteral("NW"));
    EXPECT_EQ(t.rows[0].value("GRP_CD"), QStringLiteral("X1"));
    EXPECT_FALSE(t.hasColumn("GRP_DES"));
}

TEST_F(CsvTableReading, MissingAndUnknownColumnsAreNamed) {
    read(QStringLiteral("REGION,COLOUR\nNW,red\n"));
    EXPECT_EQ(
        errorTexts(),
        (QStringList{"line 1: unknown column \"COLOUR\"; the columns are REGION,GRP_CD,GRP_DES",
                     "line 1: the column GRP_CD is missing"}));
}

TEST_F(CsvTableReading, ARowWithTheWrongNumberOfFieldsIsReportedByLine) {
    const auto t = read(QStringLiteral("REGION,GRP_CD\nNW,A\nNW\nNW,B,extra\n"));
    EXPECT_EQ(errorTexts(), (QStringList{"line 3: 1 fields, but the header names 2 columns",
                                         "line 4: 3 fields, but the header names 2 columns"}));
    EXPECT_EQ(t.rows.size(), 1u);
}

TEST_F(CsvTableReading, AnEmptyFileSaysWhichColumnsItNeeds) {
    read(QString());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text(),
              QStringLiteral("line 1: the file is empty; the first line must name the columns "
                             "REGION,GRP_CD"));
}

} // namespace
