#pragma once
// The shown officer's history: one row per save, newest first, columns When, Administrator and
// Change.

#include "common/officer_history.h"

#include <QAbstractTableModel>

#include <vector>

namespace zavek {

class HistoryModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { When, Administrator, Change, ColumnCount };

    explicit HistoryModel(QObject* parent = nullptr);

    // In one reset.
    void setEntries(std::vector<HistoryEntry> entries);
    void clear() { setEntries({}); }
    int count() const { return static_cast<int>(entries_.size()); }
    const HistoryEntry& entry(int row) const { return entries_.at(static_cast<std::size_t>(row)); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<HistoryEntry> entries_;
};

} // namespace zavek
