#include "groups/group_list_model.h"
#include "groups/group_list_view.h"
#include "tests/support/printers.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QStyle>
#include <QTest>

#include <gtest/gtest.h>

namespace zavek {
namespace {

using namespace Qt::StringLiterals;

// Every click raises the list's click once; only one on the box, or the space key, toggles,
// and the tick has changed by the time the click is raised. What typing and a screen reader
// find is the description, in the first column.
TEST(ListView, AClickIsRaisedOnceAfterTheTickChanged) {
    GroupListModel model;
    model.append(u"Alpha"_s, u"G1"_s);
    model.append(u"Beta"_s, u"G2"_s);
    GroupListView view(1);
    view.setModel(&model);
    view.resize(260, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(model.index(1, 0).data().toString(), u"Beta"_s);
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

// Lists of every size keep each item as given and find the first row of a code, across the
// storage's inner boundaries, after being filled at once and when grown an item at a time.
TEST(ListModel, KeepsEveryItemAndFindsTheFirstRowOfEachCode) {
    const QString big(300 * 1024, u'x'); // longer than the storage's blocks
    const auto textOf = [&](int i) { return i == 5000 ? big : u"Item %1 \u00e9"_s.arg(i); };
    const auto codeOf = [](int i) { return i % 7 == 6 ? QString() : u"C%1"_s.arg(i % 3000); };
    for (const int n : {0, 1, 4096, 4097, 9000}) {
        GroupListModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        GroupListModel::Items items;
        for (int i = 0; i < n; ++i)
            items.append(textOf(i), codeOf(i));
        model.replaceItems(std::move(items));
        for (int i = 0; i < 3; ++i)
            model.append(u"added %1"_s.arg(i), u"C%1"_s.arg(i));
        ASSERT_EQ(model.count(), n + 3);
        for (int i = 0; i < model.count(); ++i) {
            const bool added = i >= n;
            ASSERT_EQ(model.index(i, 0).data().toString(),
                      added ? u"added %1"_s.arg(i - n) : textOf(i))
                << n << ' ' << i;
            ASSERT_EQ(model.code(i), added ? u"C%1"_s.arg(i - n) : codeOf(i)) << n << ' ' << i;
        }
        for (const int c : {0, 2, 2999})
            EXPECT_EQ(model.firstIndexOf(u"C%1"_s.arg(c)), c < n ? c : c < 3 ? n + c : -1) << n;
        EXPECT_EQ(model.firstIndexOf(u"C3000"_s), -1);
        EXPECT_THROW(model.item(model.count()), std::out_of_range);
    }
}

} // namespace
} // namespace zavek
