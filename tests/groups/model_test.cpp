#include "groups/group_list_model.h"
#include "groups/group_list_view.h"
#include "tests/support/printers.h"

#include <QAccessible>
#include <QHeaderView>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

namespace zavek {
namespace {

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
    GroupListModel model;
    GroupListView view;
};

// Every click raises the list's click once; only one on the box, or the space key, toggles,
// and the tick has changed by the time the click is raised.
TEST_F(ListView, AClickIsRaisedOnceAfterTheTickChanged) {
    const QRect cell = view.visualRect(model.index(1, 0));
    const int box = cell.left() + view.style()->pixelMetric(QStyle::PM_IndicatorWidth) / 2 + 4;
    const struct {
        const char* place;
        QWidget* widget;
        QPoint at; // null: the space key on row 0
        int toggled;
    } places[] = {
        {"on the box", view.viewport(), QPoint(box, cell.center().y()), 1},
        {"beside the box", view.viewport(), QPoint(cell.right() - 5, cell.center().y()), -1},
        {"below the items", view.viewport(), QPoint(20, view.viewport()->height() - 5), -1},
        {"on the header", view.header()->viewport(), QPoint(20, view.header()->height() / 2), -1},
        {"space key", nullptr, QPoint(), 0},
    };
    for (const auto& p : places) {
        model.setChecked(0, false);
        model.setChecked(1, false);
        std::vector<bool> atClick;
        auto c = QObject::connect(&view, &GroupListView::listClicked, [&](std::int16_t i) {
            EXPECT_EQ(i, 1) << p.place;
            atClick.push_back(p.toggled >= 0 && model.item(p.toggled).checked);
        });
        if (p.widget) {
            QTest::mouseClick(p.widget, Qt::LeftButton, {}, p.at);
        } else {
            view.setCurrentIndex(model.index(0, 0));
            QTest::keyClick(&view, Qt::Key_Space);
        }
        QObject::disconnect(c);
        EXPECT_EQ(atClick, std::vector<bool>{p.toggled >= 0}) << p.place;
        for (int r = 0; r < 2; ++r)
            EXPECT_EQ(model.item(r).checked, r == p.toggled) << p.place;
    }
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
