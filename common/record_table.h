#pragma once
// Named tables whose fields are read and written by name: either the rows of a query run on
// the session's database, or an empty table held in memory that a message can carry.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <vector>

namespace zavek {

// The plain value a table is; what messages carry and serialise.
struct TableData {
    QStringList fields;
    std::vector<std::vector<QVariant>> rows; // a database null is an invalid QVariant

    int fieldIndex(const QString& name) const; // letter case ignored; -1 when absent
    bool operator==(const TableData& other) const;
};

class RecordTable;

// One field of the current row.
class Field {
public:
    QVariant Value() const;
    void SetValue(const QVariant& value);
    // The value as text; a null value is a failure ("converted to text").
    QString Text() const;
    // The value as text, a null value read as the empty text.
    QString TextOrEmpty() const;
    bool IsNull() const;

private:
    friend class Fields;
    Field(RecordTable& table, QString name) : table_(table), name_(std::move(name)) {}
    RecordTable& table_;
    QString name_;
};

class Fields {
public:
    Field operator[](const QString& name) { return Field(table_, name); }
    Field Item(const QString& name) { return Field(table_, name); }
    int Count() const;

private:
    friend class RecordTable;
    explicit Fields(RecordTable& table) : table_(table) {}
    RecordTable& table_;
};

class RecordTable {
public:
    RecordTable() = default;
    explicit RecordTable(TableData data);

    // A query text (anything that is not a bare name) runs on Open; a bare name opens an
    // empty in-memory table.
    void Source(const QString& source) { source_ = source; }
    QString source() const { return source_; }
    void Open();

    void RecordCount(std::int32_t& out) const {
        out = static_cast<std::int32_t>(data_.rows.size());
    }
    std::int32_t recordCount() const { return static_cast<std::int32_t>(data_.rows.size()); }
    void EOF_(bool& out) const { out = isEof(); }
    bool isEof() const { return position_ >= data_.rows.size(); }
    void MoveFirst();
    void MoveNext();

    Fields GetFields() { return Fields(*this); }
    Field field(const QString& name) { return GetFields()[name]; }

    void AddNew();
    void Update();

    const TableData& data() const { return data_; }
    bool isOpen() const { return open_; }

private:
    friend class Field;
    friend class Fields;
    const QVariant& valueAt(const QString& name) const;
    void setValueAt(const QString& name, const QVariant& value);
    std::size_t currentRow(const QString& forField) const;

    QString source_;
    TableData data_;
    std::size_t position_ = 0;
    bool open_ = false;
    bool inMemory_ = false;
};

} // namespace zavek
