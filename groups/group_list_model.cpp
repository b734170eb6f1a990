#include "groups/group_list_model.h"

#include <QHashFunctions>

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

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

namespace {
std::uint32_t hashOf(std::string_view code) {
    return static_cast<std::uint32_t>(qHash(QByteArrayView(code.data(), qsizetype(code.size()))));
}
QString decoded(std::string_view bytes) {
    return bytes.empty() ? QString() : QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}
} // namespace

GroupListModel::Items::Row& GroupListModel::Items::row(std::size_t i) {
    if (i >= count_)
        throw std::out_of_range("no such item in the list");
    return rowUnchecked(i);
}

void GroupListModel::Items::append(std::string_view text, std::string_view code) {
    const std::size_t inLast = rowsInLastChunk();
    if (chunks_.empty() || inLast == kChunkRows) {
        chunks_.push_back(std::make_unique<Row[]>(kChunkRows));
        lastChunkRows_ = kChunkRows;
    } else if (inLast == lastChunkRows_) {
        // The last chunk was shrunk to fit: give it its full room back.
        auto grown = std::make_unique<Row[]>(kChunkRows);
        std::copy_n(chunks_.back().get(), lastChunkRows_, grown.get());
        chunks_.back() = std::move(grown);
        lastChunkRows_ = kChunkRows;
    }
    const std::size_t need = text.size() + code.size();
    if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < need) {
        const std::size_t capacity = std::max(kBlockBytes, need);
        blocks_.push_back(Block{std::make_unique_for_overwrite<char[]>(capacity), 0, capacity});
    }
    Block& b = blocks_.back();
    // An empty view may have no data at all, which memcpy must not be given.
    if (!text.empty())
        std::memcpy(b.data.get() + b.used, text.data(), text.size());
    if (!code.empty())
        std::memcpy(b.data.get() + b.used + text.size(), code.data(), code.size());
    // Sizes come from QByteArray or the database's int lengths, so each fits in 32 bits.
    rowUnchecked(count_++) =
        Row{static_cast<std::uint32_t>(blocks_.size() - 1), static_cast<std::uint32_t>(b.used),
            static_cast<std::uint32_t>(text.size()), static_cast<std::uint32_t>(code.size())};
    b.used += need;
}

void GroupListModel::Items::append(const QString& text, const QString& code) {
    const QByteArray t = text.toUtf8();
    const QByteArray c = code.toUtf8();
    append(std::string_view(t.data(), std::size_t(t.size())),
           std::string_view(c.data(), std::size_t(c.size())));
}

void GroupListModel::Items::shrink() {
    if (!blocks_.empty() && blocks_.back().used < blocks_.back().capacity) {
        Block& b = blocks_.back();
        auto fitted = std::make_unique_for_overwrite<char[]>(b.used);
        std::memcpy(fitted.get(), b.data.get(), b.used);
        b.data = std::move(fitted);
        b.capacity = b.used;
    }
    if (const std::size_t inLast = rowsInLastChunk(); !chunks_.empty() && inLast < lastChunkRows_) {
        auto fitted = std::make_unique<Row[]>(inLast);
        std::copy_n(chunks_.back().get(), inLast, fitted.get());
        chunks_.back() = std::move(fitted);
        lastChunkRows_ = inLast;
    }
    blocks_.shrink_to_fit();
    chunks_.shrink_to_fit();
}

GroupListModel::Item GroupListModel::item(int row) const {
    const Items::Row& r = at(row);
    return Item{decoded(items_.text(r)), decoded(items_.code(r)), r.tag, r.checked};
}

QString GroupListModel::code(int row) const {
    return decoded(items_.code(at(row)));
}

int GroupListModel::append(const QString& text, const QString& code) {
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    items_.append(text, code);
    if (4 * items_.size() > 3 * index_.size())
        rebuildIndex();
    else
        indexCode(row);
    endInsertRows();
    return row;
}

std::size_t GroupListModel::slotOf(std::string_view code, std::uint32_t hash) const {
    const std::size_t mask = index_.size() - 1;
    std::size_t slot = hash & mask;
    while (index_[slot].row != 0 && (index_[slot].hash != hash ||
                                     items_.code(items_.rowUnchecked(
                                         static_cast<std::size_t>(index_[slot].row - 1))) != code))
        slot = (slot + 1) & mask;
    return slot;
}

std::size_t GroupListModel::slotOf(std::string_view code) const {
    return slotOf(code, hashOf(code));
}

void GroupListModel::indexCode(int row) {
    const std::string_view code = items_.code(items_.rowUnchecked(static_cast<std::size_t>(row)));
    const std::uint32_t hash = hashOf(code);
    Slot& slot = index_[slotOf(code, hash)];
    if (slot.row == 0 || slot.row > row + 1)
        slot = Slot{hash, row + 1};
}

void GroupListModel::rebuildIndex() {
    index_.assign(std::bit_ceil(std::max<std::size_t>(16, items_.size() + items_.size() / 3 + 1)),
                  Slot{});
    for (std::size_t row = 0; row < items_.size(); ++row) {
        const std::string_view code = items_.code(items_.rowUnchecked(row));
        const std::uint32_t hash = hashOf(code);
        Slot& slot = index_[slotOf(code, hash)];
        if (slot.row == 0)
            slot = Slot{hash, static_cast<int>(row) + 1};
    }
}

void GroupListModel::clearItems() {
    if (items_.empty())
        return;
    beginResetModel();
    items_ = Items();
    index_.clear();
    heldFirst_ = heldLast_ = -1;
    endResetModel();
}

void GroupListModel::replaceItems(Items items) {
    beginResetModel();
    items_ = std::move(items);
    items_.shrink();
    rebuildIndex();
    heldFirst_ = heldLast_ = -1;
    endResetModel();
}

void GroupListModel::setChecked(int row, bool checked) {
    Items::Row& item = at(row);
    if (item.checked == checked)
        return;
    item.checked = checked;
    if (holds_ > 0) {
        heldFirst_ = heldFirst_ < 0 ? row : std::min(heldFirst_, row);
        heldLast_ = std::max(heldLast_, row);
        return;
    }
    const QModelIndex cell = index(row, 0);
    emit dataChanged(cell, cell, {Qt::CheckStateRole});
}

void GroupListModel::releaseCheckChanges() {
    if (--holds_ > 0 || heldFirst_ < 0)
        return;
    const int first = heldFirst_;
    const int last = std::min(heldLast_, count() - 1);
    heldFirst_ = heldLast_ = -1;
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole});
}

void GroupListModel::setTag(int row, bool tag) {
    at(row).tag = tag;
}

int GroupListModel::firstIndexOf(const QString& code) const {
    if (index_.empty())
        return -1;
    const QByteArray bytes = code.toUtf8();
    return index_[slotOf(std::string_view(bytes.data(), std::size_t(bytes.size())))].row - 1;
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
    const Items::Row& item = items_.rowUnchecked(static_cast<std::size_t>(index.row()));
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return decoded(index.column() == 0 ? items_.text(item) : items_.code(item));
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
