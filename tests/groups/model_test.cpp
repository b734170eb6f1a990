#include "groups/group_list_model.h"
#include "groups/group_list_view.h"
#include "tests/support/printers.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

namespace zavek {
namespace {

class ListModel : public ::testing::Test {
protected:
    ListModel() : tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal) {
        model.setHeaders(QStringLiteral("Group"), QStringLiteral("Security Group Code"));
    }
    GroupListModel model;
    QAbstractItemModelTester tester;
};

TEST_F(ListModel, HoldsItemsInAppendOrderWithTwoColumns) {
    model.append(QStringLiteral("Alpha"), QStringLiteral("G1"));
    model.append(QStringLiteral("Beta"), QStringLiteral("G2"));
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(model.index(1, 0).data().toString(), QStringLiteral("Beta"));
    EXPECT_EQ(model.index(1, 1).data().toString(), QStringLiteral("G2"));
    EXPECT_EQ(model.index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
              QStringLiteral("Security Group Code"));
}

TEST_F(ListModel, FindsTheFirstItemOfACode) {
    model.append(QStringLiteral("a"), QStringLiteral("D"));
    model.append(QStringLiteral("b"), QStringLiteral("D"));
    model.append(QStringLiteral("c"), QStringLiteral("E"));
    EXPECT_EQ(model.firstIndexOf(QStringLiteral("D")), 0);
    EXPECT_EQ(model.firstIndexOf(QStringLiteral("E")), 2);
    EXPECT_EQ(model.firstIndexOf(QStringLiteral("e")), -1);
    model.setItemCode(0, QStringLiteral("Z"));
    EXPECT_EQ(model.firstIndexOf(QStringLiteral("D")), 1);
    model.clearItems();
    EXPECT_EQ(model.firstIndexOf(QStringLiteral("E")), -1);
}

class ListView : public ::testing::Test {
protected:
    ListView() : view(1) {
        model.append(QStringLiteral("Alpha"), QStringLiteral("G1"));
        model.append(QStringLiteral("Beta"), QStringLiteral("G2"));
        view.setModel(&model);
        view.resize(260, 200);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    QPoint checkBoxOf(int row) {
        const QRect cell = view.visualRect(model.index(row, 0));
        return QPoint(cell.left() + view.style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 4,
                      cell.center().y());
    }
    GroupListModel model;
    GroupListView view;
};

TEST_F(ListView, AClickOnTheBoxTogglesFirstThenRaisesTheClick) {
    bool stateAtClick = false;
    std::int16_t index = -1;
    QObject::connect(&view, &GroupListView::listClicked, [&](std::int16_t i) {
        index = i;
        stateAtClick = model.item(1).checked;
    });
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, checkBoxOf(1));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(stateAtClick);
}

TEST_F(ListView, AClickAnywhereElseRaisesTheClickWithoutToggling) {
    const QRect cell = view.visualRect(model.index(0, 0));
    const struct {
        const char* place;
        QWidget* widget;
        QPoint at;
    } places[] = {
        {"beside the box", view.viewport(), QPoint(cell.right() - 5, cell.center().y())},
        {"below the items", view.viewport(), QPoint(20, view.viewport()->height() - 5)},
        {"on the header", view.header()->viewport(), QPoint(20, view.header()->height() / 2)},
    };
    for (const auto& p : places) {
        QSignalSpy clicked(&view, &GroupListView::listClicked);
        QTest::mouseClick(p.widget, Qt::LeftButton, {}, p.at);
        EXPECT_EQ(clicked.count(), 1) << p.place;
        EXPECT_FALSE(model.item(0).checked || model.item(1).checked) << p.place;
    }
}

TEST_F(ListView, TheSpaceKeyTogglesAndRaisesTheClickToo) {
    QSignalSpy clicked(&view, &GroupListView::listClicked);
    view.setCurrentIndex(model.index(0, 0));
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_TRUE(model.item(0).checked);
    EXPECT_EQ(clicked.count(), 1);
}

} // namespace

// Typing jumps to the next description that starts so; a screen reader hears each item's
// description and whether it is ticked.
TEST_F(ListView, TypingSearchesAndScreenReadersHearDescriptionAndTick) {
    view.setFocus();
    QTest::keyClicks(&view, QStringLiteral("b"));
    EXPECT_EQ(view.currentIndex().row(), 1);
    model.setChecked(1, true);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(list, nullptr);
    ASSERT_NE(list->tableInterface(), nullptr);
    for (int row = 0; row < model.count(); ++row) {
        QAccessibleInterface* cell = list->tableInterface()->cellAt(row, 0);
        ASSERT_NE(cell, nullptr) << row;
        EXPECT_EQ(cell->text(QAccessible::Name), model.item(row).text) << row;
        EXPECT_TRUE(cell->state().checkable) << row;
        EXPECT_EQ(bool(cell->state().checked), model.item(row).checked) << row;
    }
}

} // namespace zavek
