#include "common/failure.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "tests/support/temp_database.h"

#include <gtest/gtest.h>

using namespace zavek;
using namespace zavek::testing;

namespace {

std::optional<Failure> failureOf(const std::function<void()>& body) {
    return attempt(body);
}

} // namespace

class QueryTableTest : public ::testing::Test {
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

    RecordTable open(const QString& query) {
        RecordTable table;
        table.Source(query);
        table.Open();
        return table;
    }

    TempDatabase database;
};

TEST_F(QueryTableTest, RowsAreWalkedInQueryOrder) {
    RecordTable table =
        open(QStringLiteral("SELECT GROUP_CODE FROM VRD_GROUP ORDER BY GROUP_CODE DESC"));
    std::int32_t count = -1;
    table.RecordCount(count);
    EXPECT_EQ(count, 3);
    QStringList codes;
    bool eof = true;
    table.MoveFirst();
    for (table.EOF_(eof); !eof; table.EOF_(eof)) {
        codes << table.GetFields()[QStringLiteral("GROUP_CODE")].Text();
        table.MoveNext();
    }
    EXPECT_EQ(codes,
              (QStringList{QStringLiteral("C3"), QStringLiteral("B2"), QStringLiteral("A1")}));
    table.MoveFirst();
    EXPECT_EQ(table.field(QStringLiteral("GROUP_CODE")).Text(), QStringLiteral("C3"));
}

TEST_F(QueryTableTest, FieldNamesIgnoreLetterCase) {
    RecordTable table = open(QStringLiteral("SELECT GROUP_CODE, Description FROM VRD_GROUP "
                                            "WHERE GROUP_CODE = 'A1'"));
    EXPECT_EQ(table.field(QStringLiteral("group_code")).Text(), QStringLiteral("A1"));
    EXPECT_EQ(table.GetFields().Item(QStringLiteral("DESCRIPTION")).Text(),
              QStringLiteral("Armoury"));
    EXPECT_EQ(table.GetFields().Count(), 2);
}

TEST_F(QueryTableTest, DatabaseNullIsNotTheEmptyText) {
    RecordTable empty =
        open(QStringLiteral("SELECT DESCRIPTION FROM VRD_GROUP WHERE GROUP_CODE = 'B2'"));
    EXPECT_FALSE(empty.field(QStringLiteral("DESCRIPTION")).IsNull());
    EXPECT_EQ(empty.field(QStringLiteral("DESCRIPTION")).Text(), QString());

    RecordTable null =
        open(QStringLiteral("SELECT DESCRIPTION FROM VRD_GROUP WHERE GROUP_CODE = 'C3'"));
    EXPECT_TRUE(null.field(QStringLiteral("DESCRIPTION")).IsNull());
    EXPECT_EQ(null.field(QStringLiteral("DESCRIPTION")).TextOrEmpty(), QString());
    const auto failure = failureOf([&] { null.field(QStringLiteral("DESCRIPTION")).Text(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kNullValue);
    EXPECT_TRUE(failure->description().contains(QStringLiteral("DESCRIPTION")));
}

TEST_F(QueryTableTest, NumbersReadAsTheirValue) {
    RecordTable table =
        open(QStringLiteral("SELECT GROUP_TYPE FROM VRD_GROUP WHERE GROUP_CODE = 'C3'"));
    EXPECT_EQ(table.field(QStringLiteral("GROUP_TYPE")).Value().toInt(), 2);
    EXPECT_EQ(table.field(QStringLiteral("GROUP_TYPE")).Text(), QStringLiteral("2"));
}

TEST_F(QueryTableTest, EmptyResultIsAtTheEndWithNoRows) {
    RecordTable table = open(QStringLiteral("SELECT * FROM VRD_GROUP WHERE GROUP_TYPE = 99"));
    bool eof = false;
    table.EOF_(eof);
    EXPECT_TRUE(eof);
    EXPECT_EQ(table.recordCount(), 0);
    const auto failure = failureOf([&] { table.field(QStringLiteral("GROUP_CODE")).Text(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kNoCurrentRecord);
}

TEST_F(QueryTableTest, MovingPastTheEndFails) {
    RecordTable table = open(QStringLiteral("SELECT * FROM VRD_GROUP WHERE GROUP_CODE = 'A1'"));
    table.MoveNext();
    EXPECT_TRUE(table.isEof());
    const auto failure = failureOf([&] { table.MoveNext(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kNoCurrentRecord);
}

TEST_F(QueryTableTest, UnknownFieldFailureNamesTheField) {
    RecordTable table = open(QStringLiteral("SELECT * FROM VRD_GROUP"));
    const auto read = failureOf([&] { table.field(QStringLiteral("NO_SUCH_COLUMN")).Value(); });
    ASSERT_TRUE(read);
    EXPECT_EQ(read->code(), codes::kNoSuchField);
    EXPECT_TRUE(read->description().contains(QStringLiteral("NO_SUCH_COLUMN")));
    const auto write = failureOf([&] { table.field(QStringLiteral("NEW_COLUMN")).SetValue(1); });
    ASSERT_TRUE(write);
    EXPECT_TRUE(write->description().contains(QStringLiteral("NEW_COLUMN")));
}

TEST_F(QueryTableTest, FailingQueryCarriesTheDatabaseMessage) {
    RecordTable table;
    table.Source(QStringLiteral("SELECT * FROM MISSING_TABLE"));
    const auto failure = failureOf([&] { table.Open(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kDatabase);
    EXPECT_TRUE(
        failure->description().contains(QStringLiteral("no such table"), Qt::CaseInsensitive))
        << failure->description().toStdString();
    EXPECT_FALSE(table.isOpen());
}

TEST_F(QueryTableTest, QueryWithoutAnOpenSessionDatabaseFailsClearly) {
    SessionInfo::Instance().establish(QStringLiteral("S-1"), QStringLiteral("NORTH"),
                                      QStringLiteral("no-such-connection"));
    RecordTable table;
    table.Source(QStringLiteral("SELECT 1"));
    const auto failure = failureOf([&] { table.Open(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kNotConnected);
}

TEST_F(QueryTableTest, ReopeningRunsTheQueryAgain) {
    RecordTable table = open(QStringLiteral("SELECT * FROM VRD_GROUP"));
    database.exec({QStringLiteral("DELETE FROM VRD_GROUP WHERE GROUP_CODE = 'A1'")});
    table.Open();
    EXPECT_EQ(table.recordCount(), 2);
}

class MemoryTableTest : public ::testing::Test {
protected:
    RecordTable table;
};

TEST_F(MemoryTableTest, BareNameOpensAnEmptyTable) {
    table.Source(QStringLiteral("OFFICERGROUP"));
    table.Open();
    EXPECT_TRUE(table.isOpen());
    EXPECT_TRUE(table.isEof());
    EXPECT_EQ(table.recordCount(), 0);
    EXPECT_EQ(table.GetFields().Count(), 0);
}

TEST_F(MemoryTableTest, AddedRowsAreWalkedAndReadByAnyCase) {
    table.Source(QStringLiteral("OFFICERGROUP"));
    table.Open();
    for (const auto& [action, code] : {std::pair{"ADD", "A1"}, std::pair{"DEL", "B2"}}) {
        table.AddNew();
        table.GetFields()[QStringLiteral("ACTION")].SetValue(QString::fromLatin1(action));
        table.GetFields()[QStringLiteral("GROUP_CODE")].SetValue(QString::fromLatin1(code));
        table.Update();
    }
    EXPECT_EQ(table.recordCount(), 2);
    EXPECT_EQ(table.data().fields,
              (QStringList{QStringLiteral("ACTION"), QStringLiteral("GROUP_CODE")}));
    table.MoveFirst();
    EXPECT_EQ(table.field(QStringLiteral("action")).Text(), QStringLiteral("ADD"));
    table.MoveNext();
    EXPECT_EQ(table.field(QStringLiteral("Group_Code")).Text(), QStringLiteral("B2"));
    table.MoveNext();
    EXPECT_TRUE(table.isEof());
}

TEST_F(MemoryTableTest, FieldWrittenLaterIsNullInEarlierRows) {
    table.Source(QStringLiteral("SETUP"));
    table.Open();
    table.AddNew();
    table.field(QStringLiteral("INSP_ID")).SetValue(QStringLiteral("1001"));
    table.AddNew();
    table.field(QStringLiteral("RESET")).SetValue(QString());
    table.MoveFirst();
    EXPECT_TRUE(table.field(QStringLiteral("RESET")).IsNull());
    table.MoveNext();
    EXPECT_FALSE(table.field(QStringLiteral("RESET")).IsNull());
    EXPECT_TRUE(table.field(QStringLiteral("INSP_ID")).IsNull());
}

TEST_F(MemoryTableTest, ReadingAnUnknownFieldNamesIt) {
    table.Source(QStringLiteral("SETUP"));
    table.Open();
    table.AddNew();
    const auto failure = failureOf([&] { table.field(QStringLiteral("MISSING")).Text(); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kNoSuchField);
    EXPECT_TRUE(failure->description().contains(QStringLiteral("MISSING")));
}

TEST_F(MemoryTableTest, WritingWithoutACurrentRowFails) {
    table.Source(QStringLiteral("SETUP"));
    table.Open();
    const auto failure = failureOf([&] { table.field(QStringLiteral("X")).SetValue(1); });
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code(), codes::kNoCurrentRecord);
    EXPECT_TRUE(failureOf([&] { table.Update(); }));
}

TEST_F(MemoryTableTest, UnopenedOrSourcelessTableRefusesWork) {
    EXPECT_TRUE(failureOf([&] { table.AddNew(); }));
    EXPECT_TRUE(failureOf([&] { table.MoveFirst(); }));
    EXPECT_TRUE(failureOf([&] { table.Open(); }));
}

TEST_F(MemoryTableTest, TableMadeFromDataIsOpenAtItsFirstRow) {
    TableData data;
    data.fields << QStringLiteral("CODE");
    data.rows.push_back({QVariant(QStringLiteral("A1"))});
    RecordTable fromData(data);
    EXPECT_TRUE(fromData.isOpen());
    EXPECT_EQ(fromData.field(QStringLiteral("code")).Text(), QStringLiteral("A1"));
}

TEST(TableDataTest, EqualityTellsNullFromEmptyText) {
    TableData a;
    a.fields << QStringLiteral("X");
    a.rows.push_back({QVariant()});
    TableData b = a;
    b.rows[0][0] = QVariant(QString());
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == a);
    EXPECT_EQ(a.fieldIndex(QStringLiteral("x")), 0);
    EXPECT_EQ(a.fieldIndex(QStringLiteral("y")), -1);
}
