#include "groups/group_list_model.h"

namespace zavek {

GroupListModel::GroupListModel(QObject* parent) : QAbstractTableModel(parent) {}

void GroupListModel::setHeaders(const QString& column1, const QString& column2) {
    headers_[0] = column1;
    headers_[1] = column2;
    emit headerDataChanged(Qt::Horizontal, 0, 1);
}

void GroupListModel::setColumnKeys(const QString& key1, const QString& key2) {
    keys_[0] = key1;
    keys_[1] = key2;
}

QString GroupListModel::columnKey(int column) const {
    return column >= 0 && column < 2 ? keys_[column] : QString();
}

int GroupListModel::append(const QString& text, const QString& code) {
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    items_.push_back(Item{text, code, false, false});
    indexCode(row);
    endInsertRows();
    return row;
}

void GroupListModel::indexCode(int row) {
    const QString& code = items_[static_cast<std::size_t>(row)].code;
    const auto it = firstRow_.find(code);
    if (it == firstRow_.end() || it.value() > row)
        firstRow_.insert(code, row);
}

void GroupListModel::setItemText(int row, const QString& text) {
    items_.at(static_cast<std::size_t>(row)).text = text;
    emit dataChanged(index(row, 0), index(row, 0));
}

void GroupListModel::setItemCode(int row, const QString& code) {
    Item& item = items_.at(static_cast<std::size_t>(row));
    const QString old = item.code;
    item.code = code;
    // Move the old code's entry on to its next item; while loading, the row is the last one,
    // so this stays constant time.
    if (const auto it = firstRow_.find(old); it != firstRow_.end() && it.value() == row) {
        int next = -1;
        for (int r = row + 1; r < count() && next < 0; ++r)
            if (items_[static_cast<std::size_t>(r)].code == old)
                next = r;
        if (next < 0)
            firstRow_.erase(it);
        else
            it.value() = next;
    }
    indexCode(row);
    emit dataChanged(index(row, 1), index(row, 1));
}

void GroupListModel::clearItems() {
    if (items_.empty())
        return;
    beginResetModel();
    items_.clear();
    firstRow_.clear();
    endResetModel();
}

void GroupListModel::replaceItems(std::vector<Item> items) {
    beginResetModel();
    items_ = std::move(items);
    firstRow_.clear();
    firstRow_.reserve(static_cast<qsizetype>(items_.size()));
    // From the end, so that the first row with a code is the one that stays.
    for (std::size_t row = items_.size(); row-- > 0;)
        firstRow_.insert(items_[row].code, static_cast<int>(row));
    endResetModel();
}

void GroupListModel::setChecked(int row, bool checked) {
    Item& item = items_.at(static_cast<std::size_t>(row));
    if (item.checked == checked)
        return;
    item.checked = checked;
    const QModelIndex cell = index(row, 0);
    emit dataChanged(cell, cell, {Qt::CheckStateRole});
}

void GroupListModel::setTag(int row, bool tag) {
    items_.at(static_cast<std::size_t>(row)).tag = tag;
}

int GroupListModel::firstIndexOf(const QString& code) const {
    return firstRow_.value(code, -1);
}

int GroupListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int GroupListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant GroupListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Item& item = items_[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return index.column() == 0 ? item.text : item.code;
    if (role == Qt::CheckStateRole && index.column() == 0)
        return item.checked ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool GroupListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const bool checked = value.value<Qt::CheckState>() == Qt::Checked ||
                         (value.typeId() == QMetaType::Int && value.toInt() == Qt::Checked);
    setChecked(index.row(), checked);
    emit userToggled(index.row());
    return true;
}

Qt::ItemFlags GroupListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant GroupListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 2)
        return headers_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace zavek
