#include "exchange/history_model.h"

namespace zavek {

HistoryModel::HistoryModel(QObject* parent) : QAbstractTableModel(parent) {}

void HistoryModel::setEntries(std::vector<HistoryEntry> entries) {
    beginResetModel();
    entries_ = std::move(entries);
    endResetModel();
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const HistoryEntry& e = entry(index.row());
    // The texts are made when a row is shown, so that a long history fills at once.
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole) {
        switch (index.column()) {
        case When:
            return historyTime(e.when);
        case Administrator:
            return e.administrator;
        case Change:
            return e.changeText();
        }
    }
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case When:
        return tr("When");
    case Administrator:
        return tr("Administrator");
    case Change:
        return tr("Change");
    }
    return {};
}

} // namespace zavek
