#pragma once
// One check-box list's items: description, code, stored state (tag) and shown state.

#include <QAbstractTableModel>

#include <cstdint>
#include <string>
#include <string_view>
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

    // Items as the model keeps them: every text and code as UTF-8 in one buffer, so that a
    // catalogue of 100,000 items costs its bytes and a few numbers each, not two strings each.
    class Items {
    public:
        // text and code as UTF-8.
        void append(std::string_view text, std::string_view code);
        void append(const QString& text, const QString& code);
        std::size_t size() const { return rows_.size(); }
        bool empty() const { return rows_.empty(); }
        // Gives back what growing left unused, once the items are all there.
        void shrink();

    private:
        friend class GroupListModel;
        struct Row {
            std::size_t start = 0; // of the text in bytes_; the code follows it
            std::uint32_t textBytes = 0;
            std::uint32_t codeBytes = 0;
            bool tag = false;
            bool checked = false;
        };
        std::string_view text(const Row& r) const { return {bytes_.data() + r.start, r.textBytes}; }
        std::string_view code(const Row& r) const {
            return {bytes_.data() + r.start + r.textBytes, r.codeBytes};
        }
        std::vector<Row> rows_;
        std::string bytes_;
    };

    explicit GroupListModel(QObject* parent = nullptr);

    void setHeaders(const QString& column1, const QString& column2);
    void setColumnKeys(const QString& key1, const QString& key2);
    QString columnKey(int column) const;

    int count() const { return static_cast<int>(items_.size()); }
    // The item as values; isChecked, tag and code read one part without decoding the rest.
    Item item(int row) const;
    bool isChecked(int row) const { return at(row).checked; }
    bool tag(int row) const { return at(row).tag; }
    QString code(int row) const;
    int append(const QString& text, const QString& code);
    void setItemText(int row, const QString& text);
    void setItemCode(int row, const QString& code);
    void clearItems();
    // Puts items in place of the list's items in one reset, indexing their codes once.
    void replaceItems(Items items);
    // A change made by the program: raises no click.
    void setChecked(int row, bool checked);
    void setTag(int row, bool tag);
    // Check-state changes made while held reach the views as one change of the rows they span,
    // so that checking an officer's groups is not one repaint request per group.
    void holdCheckChanges() { ++holds_; }
    void releaseCheckChanges();
    class CheckChanges {
    public:
        explicit CheckChanges(GroupListModel& model) : model_(model) { model_.holdCheckChanges(); }
        ~CheckChanges() { model_.releaseCheckChanges(); }
        CheckChanges(const CheckChanges&) = delete;
        CheckChanges& operator=(const CheckChanges&) = delete;

    private:
        GroupListModel& model_;
    };
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
    std::size_t slotOf(std::string_view code, std::uint32_t hash) const;
    std::size_t slotOf(std::string_view code) const;
    const Items::Row& at(int row) const { return items_.rows_.at(static_cast<std::size_t>(row)); }
    Items::Row& at(int row) { return items_.rows_.at(static_cast<std::size_t>(row)); }
    // Makes row the indexed row of its code when it comes before the indexed one.
    void indexCode(int row);
    void unindex(std::size_t slot);
    void rebuildIndex();

    Items items_;
    // Code -> first row with that code, so lookups by code never walk the list: an open
    // addressing table, at most half full, probed linearly, each slot with its code's hash so
    // that a probe rarely has to look at an item. Flat, so that indexing a catalogue of 100,000
    // items allocates once.
    std::vector<Slot> index_;
    int holds_ = 0;
    int heldFirst_ = -1; // the rows whose check state changed while held
    int heldLast_ = -1;
    QString headers_[2];
    QString keys_[2];
};

} // namespace zavek
