#pragma once
// One check-box list's items: description, code, stored state (tag) and shown state.

#include <QAbstractTableModel>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
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

    // Items as the model keeps them: texts and codes as UTF-8 in fixed blocks, rows in fixed
    // chunks, so that a catalogue of 100,000 items costs its bytes and a few numbers each, not
    // two strings each, and filling a list never copies what it has already read.
    class Items {
    public:
        Items() = default;
        // A moved-from list is empty.
        Items(Items&& other) noexcept { *this = std::move(other); }
        Items& operator=(Items&& other) noexcept {
            chunks_ = std::move(other.chunks_);
            blocks_ = std::move(other.blocks_);
            lastChunkRows_ = std::exchange(other.lastChunkRows_, 0);
            count_ = std::exchange(other.count_, 0);
            other.chunks_.clear();
            other.blocks_.clear();
            return *this;
        }
        // text and code as UTF-8.
        void append(std::string_view text, std::string_view code);
        void append(const QString& text, const QString& code);
        std::size_t size() const { return count_; }
        bool empty() const { return count_ == 0; }
        // Gives back what the last block and chunk left unused, once the items are all there.
        void shrink();

    private:
        friend class GroupListModel;
        struct Row {
            std::uint32_t block = 0;
            std::uint32_t offset = 0; // of the text in its block; the code follows it
            std::uint32_t textBytes = 0;
            std::uint32_t codeBytes = 0;
            bool tag = false;
            bool checked = false;
        };
        struct Block {
            std::unique_ptr<char[]> data;
            std::size_t used = 0;
            std::size_t capacity = 0;
        };
        static constexpr std::size_t kBlockBytes = 256 * 1024;
        static constexpr std::size_t kChunkRows = 4096;

        // Throws std::out_of_range for a row the list does not have.
        Row& row(std::size_t i);
        const Row& row(std::size_t i) const { return const_cast<Items*>(this)->row(i); }
        Row& rowUnchecked(std::size_t i) { return chunks_[i / kChunkRows][i % kChunkRows]; }
        const Row& rowUnchecked(std::size_t i) const {
            return chunks_[i / kChunkRows][i % kChunkRows];
        }
        std::string_view text(const Row& r) const {
            return {blocks_[r.block].data.get() + r.offset, r.textBytes};
        }
        std::string_view code(const Row& r) const {
            return {blocks_[r.block].data.get() + r.offset + r.textBytes, r.codeBytes};
        }
        std::size_t rowsInLastChunk() const {
            return chunks_.empty() ? 0 : count_ - (chunks_.size() - 1) * kChunkRows;
        }
        std::vector<std::unique_ptr<Row[]>> chunks_;
        std::size_t lastChunkRows_ = 0; // room in the last chunk, smaller once shrunk
        std::size_t count_ = 0;
        std::vector<Block> blocks_;
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
    const Items::Row& at(int row) const { return items_.row(static_cast<std::size_t>(row)); }
    Items::Row& at(int row) { return items_.row(static_cast<std::size_t>(row)); }
    // Makes row the indexed row of its code when it comes before the indexed one.
    void indexCode(int row);
    void rebuildIndex();

    Items items_;
    // Code -> first row with that code, so lookups by code never walk the list: an open
    // addressing table, at most three quarters full, probed linearly, each slot with its code's
    // hash so that a probe rarely has to look at an item. Flat, so that indexing a catalogue of
    // 100,000 items allocates once.
    std::vector<Slot> index_;
    int holds_ = 0;
    int heldFirst_ = -1; // the rows whose check state changed while held
    int heldLast_ = -1;
    QString headers_[2];
    QString keys_[2];
};

} // namespace zavek
