#pragma once
// One check-box list's items: description, code, stored state (tag) and shown state.

#include <QAbstractTableModel>

#include <cstdint>
#include <vector>

namespace zavek {

class GroupListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Item {
        QString text;
        QString code;
        bool tag = false;
        bool checked = false;
    };

    explicit GroupListModel(QObject* parent = nullptr);

    void setHeaders(const QString& column1, const QString& column2);
    void setColumnKeys(const QString& key1, const QString& key2);
    QString columnKey(int column) const;

    int count() const { return static_cast<int>(items_.size()); }
    const Item& item(int row) const { return items_.at(static_cast<std::size_t>(row)); }
    int append(const QString& text, const QString& code);
    void setItemText(int row, const QString& text);
    void setItemCode(int row, const QString& code);
    void clearItems();
    // Puts items in place of the list's items in one reset, indexing their codes once.
    void replaceItems(std::vector<Item> items);
    // A change made by the program: raises no click.
    void setChecked(int row, bool checked);
    void setTag(int row, bool tag);
    // The first row whose code equals code exactly; -1 when none.
    int firstIndexOf(const QString& code) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Slot {
        std::uint32_t hash = 0;
        int row = 0; // row + 1; 0: empty
    };
    // The slot of code in the index: the one holding its row, or the empty one it would take.
    std::size_t slotOf(QStringView code, std::uint32_t hash) const;
    std::size_t slotOf(QStringView code) const;
    // Makes row the indexed row of its code when it comes before the indexed one.
    void indexCode(int row);
    void unindex(std::size_t slot);
    void rebuildIndex();

    std::vector<Item> items_;
    // Code -> first row with that code, so lookups by code never walk the list: an open
    // addressing table, at most half full, probed linearly, each slot with its code's hash so
    // that a probe rarely has to look at an item. Flat, so that indexing a catalogue of 100,000
    // items allocates once.
    std::vector<Slot> index_;
    QString headers_[2];
    QString keys_[2];
};

} // namespace zavek
