#include "groups/group_list_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>

#include <algorithm>

namespace zavek {

GroupListView::GroupListView(int index, QWidget* parent) : QTableView(parent), index_(index) {
    // Looks and moves like a report list: no grid or row numbers, rows as tall as a tree's,
    // left-aligned headers, and Tab leaves the list instead of walking its cells.
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultSectionSize(
        std::max(fontMetrics().height(), style()->pixelMetric(QStyle::PM_IndicatorHeight)));
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header()->setHighlightSections(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setMinimumSectionSize(0);
    // QAbstractItemView emits clicked after the delegate has toggled the check state; clicks
    // off the items and on the header are raised below.
    connect(this, &QAbstractItemView::clicked, this,
            [this] { emit listClicked(static_cast<std::int16_t>(index_)); });
    header()->viewport()->installEventFilter(this);
}

void GroupListView::mouseReleaseEvent(QMouseEvent* event) {
    const bool onItem = indexAt(event->position().toPoint()).isValid();
    QTableView::mouseReleaseEvent(event);
    if (!onItem)
        emit listClicked(static_cast<std::int16_t>(index_));
}

bool GroupListView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header()->viewport() && event->type() == QEvent::MouseButtonRelease)
        emit listClicked(static_cast<std::int16_t>(index_));
    return QTableView::eventFilter(watched, event);
}

void GroupListView::keyPressEvent(QKeyEvent* event) {
    const bool toggle = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
    const QModelIndex current = currentIndex();
    QTableView::keyPressEvent(event);
    if (toggle && current.isValid())
        emit listClicked(static_cast<std::int16_t>(index_));
}

} // namespace zavek
