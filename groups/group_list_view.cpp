#include "groups/group_list_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace zavek {

GroupListView::GroupListView(int index, QWidget* parent) : QTreeView(parent), index_(index) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
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
    QTreeView::mouseReleaseEvent(event);
    if (!onItem)
        emit listClicked(static_cast<std::int16_t>(index_));
}

bool GroupListView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == header()->viewport() && event->type() == QEvent::MouseButtonRelease)
        emit listClicked(static_cast<std::int16_t>(index_));
    return QTreeView::eventFilter(watched, event);
}

void GroupListView::keyPressEvent(QKeyEvent* event) {
    const bool toggle = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
    const QModelIndex current = currentIndex();
    QTreeView::keyPressEvent(event);
    if (toggle && current.isValid())
        emit listClicked(static_cast<std::int16_t>(index_));
}

} // namespace zavek
