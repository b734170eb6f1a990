#include "common/record_table.h"

#include "common/failure.h"
#include "common/session_info.h"
#include "common/transport.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace zavek {

int TableData::fieldIndex(const QString& name) const {
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool TableData::operator==(const TableData& other) const {
    if (fields != other.fields || rows.size() != other.rows.size())
        return false;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].size() != other.rows[r].size())
            return false;
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const QVariant& a = rows[r][c];
            const QVariant& b = other.rows[r][c];
            if (a.isValid() != b.isValid() || (a.isValid() && a != b))
                return false;
        }
    }
    return true;
}

RecordTable::RecordTable(TableData data) : data_(std::move(data)), open_(true), inMemory_(true) {}

namespace {
bool isBareName(const QString& source) {
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return name.match(source.trimmed()).hasMatch();
}
} // namespace

void RecordTable::Open() {
    data_ = TableData();
    position_ = 0;
    if (source_.trimmed().isEmpty())
        fail(codes::kInvalidArgument, QStringLiteral("The table has no source to open."));
    if (isBareName(source_)) {
        inMemory_ = true;
        open_ = true;
        return;
    }
    const QString connection = SessionInfo::Instance().databaseConnection();
    if (connection.isEmpty()) {
        // The database is behind a server, which runs only the queries it knows.
        MessageData request;
        request.messageType = message_types::kCatalogueRead;
        request.criteria.push_back(
            {QString(), QStringLiteral("QUERY"), QStringLiteral("="), source_});
        const MessageData reply = callBackEnd(std::move(request));
        if (const TableData* rows = reply.table(QStringLiteral("ROWS")))
            data_ = *rows;
        inMemory_ = false;
        open_ = true;
        return;
    }
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    if (!db.isValid() || !db.isOpen())
        fail(codes::kNotConnected,
             QStringLiteral("No database is open for this session; sign in again."));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(source_))
        fail(codes::kDatabase,
             QStringLiteral("The query failed: %1").arg(query.lastError().text()));
    const QSqlRecord record = query.record();
    const int columns = record.count();
    for (int i = 0; i < columns; ++i)
        data_.fields << record.fieldName(i);
    while (query.next()) {
        std::vector<QVariant> row;
        row.reserve(static_cast<std::size_t>(columns));
        for (int i = 0; i < columns; ++i)
            row.push_back(query.isNull(i) ? QVariant() : query.value(i));
        data_.rows.push_back(std::move(row));
    }
    if (query.lastError().isValid())
        fail(codes::kDatabase,
             QStringLiteral("Reading the query's rows failed: %1").arg(query.lastError().text()));
    inMemory_ = false;
    open_ = true;
}

void RecordTable::MoveFirst() {
    if (!open_)
        fail(codes::kNoCurrentRecord, QStringLiteral("The table is not open."));
    position_ = 0;
}

void RecordTable::MoveNext() {
    if (isEof())
        fail(codes::kNoCurrentRecord,
             QStringLiteral("Cannot move past the last row of the table."));
    ++position_;
}

void RecordTable::AddNew() {
    if (!open_)
        fail(codes::kNoCurrentRecord, QStringLiteral("The table is not open."));
    data_.rows.emplace_back(static_cast<std::size_t>(data_.fields.size()));
    position_ = data_.rows.size() - 1;
}

void RecordTable::Update() {
    if (isEof())
        fail(codes::kNoCurrentRecord, QStringLiteral("There is no current row to update."));
}

std::size_t RecordTable::currentRow(const QString& forField) const {
    if (isEof())
        fail(codes::kNoCurrentRecord,
             QStringLiteral("No current row to read field \"%1\" from.").arg(forField));
    return position_;
}

const QVariant& RecordTable::valueAt(const QString& name) const {
    const int index = data_.fieldIndex(name);
    if (index < 0)
        fail(codes::kNoSuchField, QStringLiteral("The table has no field \"%1\".").arg(name));
    return data_.rows[currentRow(name)][static_cast<std::size_t>(index)];
}

void RecordTable::setValueAt(const QString& name, const QVariant& value) {
    const std::size_t row = currentRow(name);
    int index = data_.fieldIndex(name);
    if (index < 0) {
        if (!inMemory_)
            fail(codes::kNoSuchField, QStringLiteral("The table has no field \"%1\".").arg(name));
        // An in-memory table takes its fields as they are first written.
        data_.fields << name;
        for (auto& r : data_.rows)
            r.emplace_back();
        index = static_cast<int>(data_.fields.size() - 1);
    }
    data_.rows[row][static_cast<std::size_t>(index)] = value;
}

QVariant Field::Value() const {
    return table_.valueAt(name_);
}
void Field::SetValue(const QVariant& value) {
    table_.setValueAt(name_, value);
}
bool Field::IsNull() const {
    return !table_.valueAt(name_).isValid();
}

QString Field::Text() const {
    const QVariant& v = table_.valueAt(name_);
    if (!v.isValid() || v.isNull())
        fail(codes::kNullValue,
             QStringLiteral("Invalid use of Null: field \"%1\" holds no value.").arg(name_));
    return v.toString();
}

QString Field::TextOrEmpty() const {
    const QVariant& v = table_.valueAt(name_);
    return v.isValid() ? v.toString() : QString();
}

int Fields::Count() const {
    return static_cast<int>(table_.data_.fields.size());
}

} // namespace zavek
