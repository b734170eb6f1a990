#include "groups/group_list_model.h"

#include <QHashFunctions>

#include <bit>

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

void GroupListModel::Items::append(std::string_view text, std::string_view code) {
    rows_.push_back(Row{bytes_.size(), static_cast<std::uint32_t>(text.size()),
                        static_cast<std::uint32_t>(code.size())});
    bytes_.append(text).append(code);
}

void GroupListModel::Items::append(const QString& text, const QString& code) {
    const QByteArray t = text.toUtf8();
    const QByteArray c = code.toUtf8();
    append(std::string_view(t.data(), std::size_t(t.size())),
           std::string_view(c.data(), std::size_t(c.size())));
}

void GroupListModel::Items::shrink() {
    rows_.shrink_to_fit();
    bytes_.shrink_to_fit();
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
    if (2 * items_.size() > index_.size())
        rebuildIndex();
    else
        indexCode(row);
    endInsertRows();
    return row;
}

std::size_t GroupListModel::slotOf(std::string_view code, std::uint32_t hash) const {
    const std::size_t mask = index_.size() - 1;
    std::size_t slot = hash & mask;
    while (index_[slot].row != 0 &&
           (index_[slot].hash != hash ||
            items_.code(items_.rows_[static_cast<std::size_t>(index_[slot].row - 1)]) != code))
        slot = (slot + 1) & mask;
    return slot;
}

std::size_t GroupListModel::slotOf(std::string_view code) const {
    return slotOf(code, hashOf(code));
}

void GroupListModel::indexCode(int row) {
    const std::string_view code = items_.code(items_.rows_[static_cast<std::size_t>(row)]);
    const std::uint32_t hash = hashOf(code);
    Slot& slot = index_[slotOf(code, hash)];
    if (slot.row == 0 || slot.row > row + 1)
        slot = Slot{hash, row + 1};
}

// Empties a slot and moves later entries of its probe run back, so that no run has a gap.
void GroupListModel::unindex(std::size_t slot) {
    const std::size_t mask = index_.size() - 1;
    std::size_t next = (slot + 1) & mask;
    while (index_[next].row != 0) {
        const std::size_t home = index_[next].hash & mask;
        // The entry may fill the gap unless its home lies cyclically in (slot, next].
        if (((next - home) & mask) >= ((next - slot) & mask)) {
            index_[slot] = index_[next];
            slot = next;
        }
        next = (next + 1) & mask;
    }
    index_[slot] = Slot{};
}

void GroupListModel::rebuildIndex() {
    index_.assign(std::bit_ceil(std::max<std::size_t>(16, 2 * items_.size())), Slot{});
    for (std::size_t row = 0; row < items_.size(); ++row) {
        const std::string_view code = items_.code(items_.rows_[row]);
        const std::uint32_t hash = hashOf(code);
        Slot& slot = index_[slotOf(code, hash)];
        if (slot.row == 0)
            slot = Slot{hash, static_cast<int>(row) + 1};
    }
}

// A changed text or code is written at the end of the buffer; the old bytes stay unused until
// the list is filled again, which edits by the program are too few to matter for.
void GroupListModel::setItemText(int row, const QString& text) {
    Items::Row& r = at(row);
    const QByteArray t = text.toUtf8();
    const std::string code(items_.code(r));
    r.start = items_.bytes_.size();
    r.textBytes = static_cast<std::uint32_t>(t.size());
    items_.bytes_.append(t.data(), std::size_t(t.size())).append(code);
    emit dataChanged(index(row, 0), index(row, 0));
}

void GroupListModel::setItemCode(int row, const QString& code) {
    Items::Row& r = at(row);
    const std::string_view old = items_.code(r);
    // Move the old code's entry on to its next item; while loading, the row is the last one,
    // so this stays constant time.
    if (const std::size_t slot = slotOf(old); index_[slot].row == row + 1) {
        int next = -1;
        for (int n = row + 1; n < count() && next < 0; ++n)
            if (items_.code(items_.rows_[static_cast<std::size_t>(n)]) == old)
                next = n;
        if (next < 0)
            unindex(slot);
        else
            index_[slot].row = next + 1;
    }
    const QByteArray c = code.toUtf8();
    const std::string text(items_.text(r));
    r.start = items_.bytes_.size();
    r.codeBytes = static_cast<std::uint32_t>(c.size());
    items_.bytes_.append(text).append(c.data(), std::size_t(c.size()));
    indexCode(row);
    emit dataChanged(index(row, 1), index(row, 1));
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
    const Items::Row& item = items_.rows_[static_cast<std::size_t>(index.row())];
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
