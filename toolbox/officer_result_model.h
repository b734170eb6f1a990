#pragma once
// The officers a search found, as rows of identifier and name.

#include "common/officer_directory.h"

#include <QAbstractTableModel>

#include <vector>

namespace zavek {

class OfficerResultModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { IdColumn = 0, NameColumn = 1, ColumnCount = 2 };

    explicit OfficerResultModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    void setRows(std::vector<OfficerRow> rows);
    void clear();
    // Precondition: 0 <= row < rowCount().
    const OfficerRow& officerAt(int row) const { return rows_.at(static_cast<std::size_t>(row)); }

private:
    std::vector<OfficerRow> rows_;
};

} // namespace zavek
