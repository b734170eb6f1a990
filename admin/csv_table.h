#pragma once
// A CSV file whose first record names its columns: the header is checked against the columns a
// command knows, and each later record is read by column name.

#include "admin/csv.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace zavek::admin {

struct LineError {
    int line = 0;
    QString message;
    QString text() const { return QStringLiteral("line %1: %2").arg(line).arg(message); }
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

// Reads the text; every problem found is appended to errors. Column names are matched without
// regard to letter case; required columns must all be there, optional ones may be.
CsvTable readCsvTable(const QString& text, const QStringList& required, const QStringList& optional,
                      std::vector<LineError>& errors);

} // namespace zavek::admin
