#pragma once
// Comma-separated text as RFC 4180 has it: quoted fields may hold commas, doubled quotes and
// line breaks; lines end in CRLF or LF.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace zavek::admin {

struct CsvRecord {
    int line = 0; // the line of the file the record starts on, counting from 1
    QStringList fields;
};

struct CsvError {
    int line = 0;
    QString message;
};

struct CsvDocument {
    std::vector<CsvRecord> records; // blank lines are left out
    std::optional<CsvError> error;  // the text could not be read past this point
};

CsvDocument parseCsv(const QString& text);

// The file's bytes as text: strict UTF-8 without NUL bytes. Otherwise the first offending
// line and what is wrong with it, and no text.
struct CsvText {
    QString text;
    std::optional<CsvError> error;
};
CsvText decodeCsvBytes(const QByteArray& bytes);

// One field, quoted when it has to be.
QString csvField(const QString& value);
// One line of fields, without the line end.
QString csvLine(const QStringList& fields);
// A field for a file a spreadsheet will open: one that starts with =, +, -, @, a tab or a
// carriage return gets a leading apostrophe, so that it is shown as text, never run.
QString spreadsheetSafe(const QString& value);

} // namespace zavek::admin
