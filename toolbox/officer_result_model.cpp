#include "toolbox/officer_result_model.h"

namespace zavek {

OfficerResultModel::OfficerResultModel(QObject* parent) : QAbstractTableModel(parent) {}

int OfficerResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int OfficerResultModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant OfficerResultModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const OfficerRow& row = officerAt(index.row());
    return index.column() == IdColumn ? row.id : row.name;
}

QVariant OfficerResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case IdColumn:
        return tr("Officer ID");
    case NameColumn:
        return tr("Name");
    default:
        return {};
    }
}

void OfficerResultModel::setRows(std::vector<OfficerRow> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void OfficerResultModel::clear() {
    setRows({});
}

} // namespace zavek
