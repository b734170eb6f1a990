#include "admin/csv_table.h"

#include <QCoreApplication>

namespace zavek::admin {

CsvTableReader::CsvTableReader(CsvReader& records, QStringList required, QStringList optional,
                               std::vector<LineError>& errors)
    : records_(records), required_(std::move(required)), optional_(std::move(optional)),
      errors_(errors), firstError_(errors.size()) {}

bool CsvTableReader::broken() {
    if (!records_.error())
        return false;
    errors_.resize(firstError_);
    errors_.push_back({records_.error()->line, records_.error()->message});
    columns_.clear();
    done_ = true;
    return true;
}

bool CsvTableReader::readHeader() {
    const auto header = records_.next();
    if (broken())
        return false;
    if (!header) {
        errors_.push_back({1, tr("the file is empty; the first line must name the "
                                 "columns %1")
                                  .arg(required_.join(u','))});
        return false;
    }
    const QStringList known = required_ + optional_;
    bool headerOk = true;
    for (const auto& raw : header->fields) {
        const QString name = raw.trimmed().toUpper();
        if (!known.contains(name)) {
            errors_.push_back({header->line, tr("unknown column \"%1\"; the columns "
                                                "are %2")
                                                 .arg(raw.trimmed(), known.join(u','))});
            headerOk = false;
        } else if (columns_.contains(name)) {
            errors_.push_back({header->line, tr("the column %1 is named twice").arg(name)});
            headerOk = false;
        }
        columns_ << name;
    }
    for (const auto& name : required_) {
        if (!columns_.contains(name)) {
            errors_.push_back({header->line, tr("the column %1 is missing").arg(name)});
            headerOk = false;
        }
    }
    if (!headerOk) {
        columns_.clear();
        // The rest is read only to find whether the text can be read to its end at all.
        while (records_.next()) {
        }
        broken();
    }
    return headerOk;
}

std::optional<CsvRow> CsvTableReader::next() {
    if (!started_) {
        started_ = true;
        done_ = !readHeader();
    }
    while (!done_) {
        const auto record = records_.next();
        if (broken() || !record) {
            done_ = true;
            break;
        }
        if (record->fields.size() != columns_.size()) {
            errors_.push_back({record->line, tr("%1 fields, but the header names %2 "
                                                "columns")
                                                 .arg(record->fields.size())
                                                 .arg(columns_.size())});
            continue;
        }
        CsvRow row;
        row.line = record->line;
        for (qsizetype c = 0; c < columns_.size(); ++c)
            row.values.insert(columns_[c], record->fields[c].trimmed());
        return row;
    }
    return std::nullopt;
}

CsvTable readCsvTable(const QString& text, const QStringList& required, const QStringList& optional,
                      std::vector<LineError>& errors) {
    CsvTable table;
    CsvReader records(text);
    CsvTableReader reader(records, required, optional, errors);
    while (auto row = reader.next())
        table.rows.push_back(std::move(*row));
    table.columns = reader.columns();
    if (records.error())
        table.rows.clear();
    return table;
}

void eachCsvRow(QIODevice& file, const QStringList& required, const QStringList& optional,
                std::vector<LineError>& errors, const std::function<void(const CsvRow&)>& visit) {
    if (!file.seek(0)) {
        errors.push_back(
            {1, QCoreApplication::translate("zavek::admin::Csv",
                                            "the file could not be read again from its start (%1)")
                    .arg(file.errorString())});
        return;
    }
    CsvReader records(file);
    CsvTableReader rows(records, required, optional, errors);
    while (const auto row = rows.next())
        visit(*row);
}

} // namespace zavek::admin
