#include "common/failure.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "tests/support/temp_database.h"

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

using namespace zavek;
using namespace zavek::testing;

namespace {

class RecordTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        database.exec(
            {u"CREATE TABLE VRD_GROUP (GROUP_CODE TEXT, DESCRIPTION TEXT, GROUP_TYPE INTEGER)"_s,
             u"INSERT INTO VRD_GROUP VALUES ('A1', 'Armoury', 1), ('B2', '', 1), ('C3', NULL, 2)"_s});
        SessionInfo::Instance().establish(u"S-1"_s, u"NORTH"_s, database.connectionName());
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
        return open(u"SELECT * FROM VRD_GROUP WHERE "_s + QLatin1String(where));
    }

    TempDatabase database;
};

} // namespace

TEST_F(RecordTableTest, AQueryIsWalkedInItsOrderAndReadByFieldNameInAnyCase) {
    RecordTable table = open(u"SELECT GROUP_CODE, Description FROM VRD_GROUP ORDER BY 1 DESC"_s);
    QStringList codes;
    for (table.MoveFirst(); !table.isEof(); table.MoveNext())
        codes << table.GetFields()[u"group_code"_s].Text() + u'=' +
                     table.GetFields().Item(u"DESCRIPTION"_s).TextOrEmpty();
    EXPECT_EQ(codes, (QStringList{"C3=", "B2=", "A1=Armoury"}));
    EXPECT_EQ(query("GROUP_CODE = 'C3'").field(u"GROUP_TYPE"_s).Text(), u"2"_s);
    // Null is not the empty text.
    EXPECT_FALSE(query("GROUP_CODE = 'B2'").field(u"DESCRIPTION"_s).IsNull());
    EXPECT_TRUE(query("GROUP_CODE = 'C3'").field(u"DESCRIPTION"_s).IsNull());
}

TEST_F(RecordTableTest, RowsAddedInMemoryAreWalkedAndFieldsWrittenLaterAreNullBefore) {
    RecordTable table = open(u"OFFICERGROUP"_s);
    EXPECT_TRUE(table.isOpen() && table.isEof());
    table.AddNew();
    table.GetFields()[u"ACTION"_s].SetValue(u"ADD"_s);
    table.Update();
    table.AddNew();
    table.field(u"RESET"_s).SetValue(QString());
    table.Update();
    EXPECT_EQ(table.data().fields, (QStringList{"ACTION", "RESET"}));
    table.MoveFirst();
    EXPECT_EQ(table.field(u"action"_s).Text(), u"ADD"_s);
    EXPECT_TRUE(table.field(u"RESET"_s).IsNull());
    table.MoveNext();
    EXPECT_FALSE(table.field(u"RESET"_s).IsNull());
    EXPECT_TRUE(table.field(u"Action"_s).IsNull());
    table.MoveNext();
    EXPECT_TRUE(table.isEof());
}

// Every refusal of a table, with its code and the name it must mention.
TEST_F(RecordTableTest, WhatATableCannotDoFailsWithItsCodeAndNamesTheCulprit) {
    RecordTable unopened;
    // clang-format off
    const std::tuple<const char*, std::function<void()>, std::uint32_t, const char*> cases[] = {
        {"null read as text", [] { query("GROUP_CODE = 'C3'").field("DESCRIPTION").Text(); }, codes::kNullValue, "DESCRIPTION"},
        {"field of an empty result", [] { query("GROUP_TYPE = 99").field("GROUP_CODE").Text(); }, codes::kNoCurrentRecord, ""},
        {"unknown field of a query", [] { open("SELECT * FROM VRD_GROUP").field("NO_SUCH_COLUMN").Value(); }, codes::kNoSuchField, "NO_SUCH_COLUMN"},
        {"new field written to a query", [] { open("SELECT * FROM VRD_GROUP").field("NEW_COLUMN").SetValue(1); }, codes::kNoSuchField, "NEW_COLUMN"},
        {"failing query", [] { open("SELECT * FROM MISSING_TABLE"); }, codes::kDatabase, "no such table"},
        {"writing without a row", [] { open("SETUP").field("X").SetValue(1); }, codes::kNoCurrentRecord, ""},
        {"adding to an unopened table", [&] { unopened.AddNew(); }, 0, ""},
        {"query without the session's database", [] {
             SessionInfo::Instance().establish("S-1", "NORTH", "no-such-connection");
             open("SELECT 1"); }, codes::kNotConnected, ""}};
    // clang-format on
    for (const auto& [name, body, code, says] : cases) {
        const auto failure = attempt(body);
        ASSERT_TRUE(failure) << name;
        EXPECT_TRUE((!code || failure->code() == code) &&
                    failure->description().contains(QLatin1String(says), Qt::CaseInsensitive))
            << name << ": " << failure->description().toStdString();
    }
}
