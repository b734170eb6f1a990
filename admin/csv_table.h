#pragma once
// A CSV file whose first record names its columns: the header is checked against the columns a
// command knows, and each later record is read by column name.

#include "admin/csv.h"

#include <QCoreApplication>
#include <QHash>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace zavek::admin {

struct LineError {
    int line = 0;
    QString message;
    QString text() const {
        return QCoreApplication::translate("zavek::admin::Csv", "line %1: %2")
            .arg(line)
            .arg(message);
    }
};

struct CsvRow {
    int line = 0;
    QHash<QString, QString> values; // by upper-case column name, surrounding blanks removed
    QString value(const QString& column) const { return values.value(column); }
    bool has(const QString& column) const { return values.contains(column); }
};

struct CsvTable {
    QStringList columns; // upper case, in the file's order
    std::vector<CsvRow> rows;
    bool hasColumn(const QString& column) const { return columns.contains(column); }
};

// The rows of a table one at a time: the header is checked when the first row is asked for.
// Every problem found is appended to errors; when the text cannot be read on, that problem is
// all errors says: what this reader listed before it is taken back, as it would have been had
// the whole text been read first.
class CsvTableReader {
    Q_DECLARE_TR_FUNCTIONS(zavek::admin::CsvTableReader)

public:
    CsvTableReader(CsvReader& records, QStringList required, QStringList optional,
                   std::vector<LineError>& errors);
    // The next row; none at the end, after a wrong header, or when the text cannot be read on.
    // A record whose fields do not match the header is listed in errors and skipped.
    std::optional<CsvRow> next();
    // Empty unless the header was right and the text could be read so far.
    const QStringList& columns() const { return columns_; }

private:
    bool readHeader();
    bool broken(); // the text cannot be read on; errors now says so alone

    CsvReader& records_;
    QStringList required_;
    QStringList optional_;
    std::vector<LineError>& errors_;
    std::size_t firstError_;
    QStringList columns_;
    bool started_ = false;
    bool done_ = false;
};

// Reads the text; every problem found is appended to errors. Column names are matched without
// regard to letter case; required columns must all be there, optional ones may be.
CsvTable readCsvTable(const QString& text, const QStringList& required, const QStringList& optional,
                      std::vector<LineError>& errors);

// Visits the rows of the file from its start (an import reads it twice: to check, then to write).
void eachCsvRow(QIODevice& file, const QStringList& required, const QStringList& optional,
                std::vector<LineError>& errors, const std::function<void(const CsvRow&)>& visit);

} // namespace zavek::admin
