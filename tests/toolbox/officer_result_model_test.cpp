#include "toolbox/officer_result_model.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

namespace zavek {
namespace {

class OfficerResultModelTest : public ::testing::Test {
protected:
    OfficerResultModel model_;
    QAbstractItemModelTester tester_{&model_,
                                     QAbstractItemModelTester::FailureReportingMode::Fatal};
};

TEST_F(OfficerResultModelTest, ShowsIdentifierAndNameColumns) {
    model_.setRows({{QStringLiteral("A1"), QStringLiteral("Ames, Al")},
                    {QStringLiteral("B2"), QStringLiteral("Bell, Bo")}});
    ASSERT_EQ(model_.rowCount(), 2);
    ASSERT_EQ(model_.columnCount(), 2);
    EXPECT_EQ(model_.headerData(0, Qt::Horizontal).toString(), "Officer ID");
    EXPECT_EQ(model_.headerData(1, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(model_.index(1, 0).data().toString(), "B2");
    EXPECT_EQ(model_.index(1, 1).data().toString(), "Bell, Bo");
}

TEST_F(OfficerResultModelTest, ReplacingAndClearingRowsKeepsTheModelConsistent) {
    model_.setRows({{QStringLiteral("A1"), QStringLiteral("Ames, Al")}});
    model_.setRows({{QStringLiteral("C3"), QStringLiteral("Cole, Cy")},
                    {QStringLiteral("D4"), QStringLiteral("Dean, Di")}});
    EXPECT_EQ(model_.index(0, 0).data().toString(), "C3");
    model_.clear();
    EXPECT_EQ(model_.rowCount(), 0);
}

TEST_F(OfficerResultModelTest, RowsHaveNoChildren) {
    model_.setRows({{QStringLiteral("A1"), QStringLiteral("Ames, Al")}});
    EXPECT_EQ(model_.rowCount(model_.index(0, 0)), 0);
    EXPECT_EQ(model_.columnCount(model_.index(0, 0)), 0);
}

} // namespace
} // namespace zavek
