#pragma once
// A query's rows read once, in order, straight from the database's client library through the
// session's own connection: no value per cell, no copy of the rows. For a list filled from a
// large query; RecordTable stays the way to read a few rows by name.

#include <QString>
#include <QStringList>

#include <functional>
#include <string_view>

namespace zavek {

// One cell of the current row: the database's UTF-8 text, or null. Valid only inside the
// row's visit.
struct TextCell {
    const char* data = nullptr;
    int size = 0;
    bool null = true;

    std::string_view bytes() const { return {data, static_cast<std::size_t>(size)}; }
    QString text() const { return QString::fromUtf8(data, size); }
};

// Runs query on the session's database and hands each row's cells, in the order of columns
// (letter case ignored), to visit. Throws Failure when there is no connection, the query fails,
// a column is missing, or reading stops on an error; visit may throw to end the read.
void readQueryRows(const QString& query, const QStringList& columns,
                   const std::function<void(const TextCell* cells)>& visit);

} // namespace zavek
