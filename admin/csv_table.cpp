#include "admin/csv_table.h"

namespace zavek::admin {

CsvTable readCsvTable(const QString& text, const QStringList& required, const QStringList& optional,
                      std::vector<LineError>& errors) {
    CsvTable table;
    const CsvDocument document = parseCsv(text);
    if (document.error) {
        errors.push_back({document.error->line, document.error->message});
        return table;
    }
    if (document.records.empty()) {
        errors.push_back({1, QStringLiteral("the file is empty; the first line must name the "
                                            "columns %1")
                                 .arg(required.join(u','))});
        return table;
    }
    const CsvRecord& header = document.records.front();
    const QStringList known = required + optional;
    bool headerOk = true;
    for (const auto& raw : header.fields) {
        const QString name = raw.trimmed().toUpper();
        if (!known.contains(name)) {
            errors.push_back({header.line, QStringLiteral("unknown column \"%1\"; the columns are "
                                                          "%2")
                                               .arg(raw.trimmed(), known.join(u','))});
            headerOk = false;
        } else if (table.columns.contains(name)) {
            errors.push_back(
                {header.line, QStringLiteral("the column %1 is named twice").arg(name)});
            headerOk = false;
        }
        table.columns << name;
    }
    for (const auto& name : required) {
        if (!table.columns.contains(name)) {
            errors.push_back({header.line, QStringLiteral("the column %1 is missing").arg(name)});
            headerOk = false;
        }
    }
    if (!headerOk) {
        table.columns.clear();
        return table;
    }
    for (std::size_t r = 1; r < document.records.size(); ++r) {
        const CsvRecord& record = document.records[r];
        if (record.fields.size() != table.columns.size()) {
            errors.push_back({record.line, QStringLiteral("%1 fields, but the header names %2 "
                                                          "columns")
                                               .arg(record.fields.size())
                                               .arg(table.columns.size())});
            continue;
        }
        CsvRow row;
        row.line = record.line;
        for (qsizetype c = 0; c < table.columns.size(); ++c)
            row.values.insert(table.columns[c], record.fields[c].trimmed());
        table.rows.push_back(std::move(row));
    }
    return table;
}

} // namespace zavek::admin
