#include "common/failure.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "tests/support/temp_database.h"

#include <gtest/gtest.h>

using namespace zavek;
using namespace zavek::testing;

namespace {

class RecordTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        database.exec({QStringLiteral("CREATE TABLE VRD_GROUP (GROUP_CODE TEXT, DESCRIPTION TEXT, "
                                      "GROUP_TYPE INTEGER)"),
                       QStringLiteral("INSERT INTO VRD_GROUP VALUES ('A1', 'Armoury', 1)"),
                       QStringLiteral("INSERT INTO VRD_GROUP VALUES ('B2', '', 1)"),
                       QStringLiteral("INSERT INTO VRD_GROUP VALUES ('C3', NULL, 2)")});
        SessionInfo::Instance().establish(QStringLiteral("S-1"), QStringLiteral("NORTH"),
                                          database.connectionName());
    }
    void TearDown() override { SessionInfo::Instance().clear(); }

    // A table of the query, or an empty table held in memory for a bare name.
    static RecordTable open(const QString& source) {
        RecordTable table;
        table.Source(source);
        table.Open();
        return table;
    }
    static RecordTable query(const char* where) {
        return open(QStringLiteral("SELECT * FROM VRD_GROUP WHERE ") + QLatin1String(where));
    }

    TempDatabase database;
};

} // namespace

TEST_F(RecordTableTest, AQueryIsWalkedInItsOrderAndReadByFieldNameInAnyCase) {
    RecordTable table =
        open(QStringLiteral("SELECT GROUP_CODE, Description FROM VRD_GROUP ORDER BY 1 DESC"));
    std::int32_t count = -1;
    table.RecordCount(count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(table.GetFields().Count(), 2);
    QStringList codes;
    bool eof = true;
    table.MoveFirst();
    for (table.EOF_(eof); !eof; table.EOF_(eof)) {
        codes << table.GetFields()[QStringLiteral("group_code")].Text() + u'=' +
                     table.GetFields().Item(QStringLiteral("DESCRIPTION")).TextOrEmpty();
        table.MoveNext();
    }
    EXPECT_EQ(codes, (QStringList{"C3=", "B2=", "A1=Armoury"}));
    EXPECT_EQ(query("GROUP_CODE = 'C3'").field(QStringLiteral("GROUP_TYPE")).Value().toInt(), 2);
    // Null is not the empty text.
    EXPECT_FALSE(query("GROUP_CODE = 'B2'").field(QStringLiteral("DESCRIPTION")).IsNull());
    EXPECT_TRUE(query("GROUP_CODE = 'C3'").field(QStringLiteral("DESCRIPTION")).IsNull());
    EXPECT_TRUE(query("GROUP_TYPE = 99").isEof());
    // Opening again runs the query again.
    database.exec({QStringLiteral("DELETE FROM VRD_GROUP WHERE GROUP_CODE = 'A1'")});
    table.Open();
    EXPECT_EQ(table.recordCount(), 2);
}

TEST_F(RecordTableTest, RowsAddedInMemoryAreWalkedAndFieldsWrittenLaterAreNullBefore) {
    RecordTable table = open(QStringLiteral("OFFICERGROUP"));
    EXPECT_TRUE(table.isOpen() && table.isEof());
    EXPECT_EQ(table.recordCount(), 0);
    table.AddNew();
    table.GetFields()[QStringLiteral("ACTION")].SetValue(QStringLiteral("ADD"));
    table.GetFields()[QStringLiteral("GROUP_CODE")].SetValue(QStringLiteral("A1"));
    table.Update();
    table.AddNew();
    table.field(QStringLiteral("RESET")).SetValue(QString());
    table.Update();
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(table.data().fields, (QStringList{"ACTION", "GROUP_CODE", "RESET"}));
    table.MoveFirst();
    EXPECT_EQ(table.field(QStringLiteral("action")).Text(), QStringLiteral("ADD"));
    EXPECT_TRUE(table.field(QStringLiteral("RESET")).IsNull());
    table.MoveNext();
    EXPECT_FALSE(table.field(QStringLiteral("RESET")).IsNull());
    EXPECT_TRUE(table.field(QStringLiteral("Group_Code")).IsNull());
    table.MoveNext();
    EXPECT_TRUE(table.isEof());

    TableData data{{"CODE"}, {{QStringLiteral("A1")}}};
    EXPECT_EQ(RecordTable(data).field(QStringLiteral("code")).Text(), QStringLiteral("A1"));
    TableData empty = data;
    empty.rows[0][0] = QString(); // equality tells null from the empty text
    data.rows[0][0] = QVariant();
    EXPECT_FALSE(data == empty);
}

// Every refusal of a table, with its code and the name it must mention.
TEST_F(RecordTableTest, WhatATableCannotDoFailsWithItsCodeAndNamesTheCulprit) {
    struct Case {
        const char* name;
        std::function<void()> body;
        std::uint32_t code;
        const char* says;
    };
    RecordTable unopened;
    const Case cases[] = {
        {"null read as text", [] { query("GROUP_CODE = 'C3'").field("DESCRIPTION").Text(); },
         codes::kNullValue, "DESCRIPTION"},
        {"field of an empty result", [] { query("GROUP_TYPE = 99").field("GROUP_CODE").Text(); },
         codes::kNoCurrentRecord, ""},
        {"moving past the end",
         [] {
             RecordTable t = query("GROUP_CODE = 'A1'");
             t.MoveNext();
             t.MoveNext();
         },
         codes::kNoCurrentRecord, ""},
        {"unknown field of a query",
         [] { open(QStringLiteral("SELECT * FROM VRD_GROUP")).field("NO_SUCH_COLUMN").Value(); },
         codes::kNoSuchField, "NO_SUCH_COLUMN"},
        {"new field written to a query",
         [] { open(QStringLiteral("SELECT * FROM VRD_GROUP")).field("NEW_COLUMN").SetValue(1); },
         codes::kNoSuchField, "NEW_COLUMN"},
        {"unknown field in memory",
         [] {
             RecordTable t = open(QStringLiteral("SETUP"));
             t.AddNew();
             t.field("MISSING").Text();
         },
         codes::kNoSuchField, "MISSING"},
        {"failing query", [] { open(QStringLiteral("SELECT * FROM MISSING_TABLE")); },
         codes::kDatabase, "no such table"},
        {"writing without a row", [] { open(QStringLiteral("SETUP")).field("X").SetValue(1); },
         codes::kNoCurrentRecord, ""},
        {"update without a row", [] { open(QStringLiteral("SETUP")).Update(); }, 0, ""},
        {"adding to an unopened table", [&] { unopened.AddNew(); }, 0, ""},
        {"moving in an unopened table", [&] { unopened.MoveFirst(); }, 0, ""},
        {"opening without a source", [&] { unopened.Open(); }, 0, ""},
        {"query without the session's database",
         [] {
             SessionInfo::Instance().establish(QStringLiteral("S-1"), QStringLiteral("NORTH"),
                                               QStringLiteral("no-such-connection"));
             open(QStringLiteral("SELECT 1"));
         },
         codes::kNotConnected, ""},
    };
    for (const Case& c : cases) {
        const auto failure = attempt(c.body);
        ASSERT_TRUE(failure) << c.name;
        EXPECT_TRUE(!c.code || failure->code() == c.code) << c.name << ": " << failure->code();
        EXPECT_TRUE(failure->description().contains(QLatin1String(c.says), Qt::CaseInsensitive))
            << c.name << ": " << failure->description().toStdString();
    }
    RecordTable missing;
    missing.Source(QStringLiteral("SELECT * FROM MISSING_TABLE"));
    EXPECT_TRUE(attempt([&] { missing.Open(); }));
    EXPECT_FALSE(missing.isOpen());
}
