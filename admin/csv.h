#pragma once
// Comma-separated text as RFC 4180 has it: quoted fields may hold commas, doubled quotes and
// line breaks; lines end in CRLF or LF.

#include <QByteArray>
#include <QCoreApplication>
#include <QIODevice>
#include <QString>
#include <QStringDecoder>
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

// Checks a file's bytes a piece at a time: strict UTF-8 without NUL bytes.
class CsvBytes {
    Q_DECLARE_TR_FUNCTIONS(zavek::admin::CsvBytes)

public:
    // How many bytes at the start of piece are whole, well-formed characters. The rest, a
    // character cut by the end of a piece that is not the last, goes in front of the next piece.
    // On a NUL byte or ill-formed UTF-8, error says on which line.
    qsizetype check(const QByteArray& piece, bool last);
    int line() const { return line_; }
    std::optional<CsvError> error;

private:
    int line_ = 1;
};

// The records of a text or of a device's bytes one at a time, so that a file of any size needs
// the memory of one record. The bytes are checked as decodeCsvBytes does.
class CsvReader {
    Q_DECLARE_TR_FUNCTIONS(zavek::admin::CsvReader)

public:
    explicit CsvReader(QString text) : text_(std::move(text)) {}
    explicit CsvReader(QIODevice& device) : device_(&device) {}
    // The next record that is not blank; none at the end of the text or when it cannot be read
    // on, which error then says.
    std::optional<CsvRecord> next();
    const std::optional<CsvError>& error() const { return error_; }

private:
    bool available(qsizetype ahead); // the character ahead of the next one is there
    bool fill();
    void fail(int line, const QString& message);

    QIODevice* device_ = nullptr;
    QString text_;
    qsizetype pos_ = 0;
    bool started_ = false;
    bool ended_ = false; // the device has no more bytes
    int line_ = 1;
    CsvBytes bytes_;
    QByteArray cut_; // a character cut by the end of the last piece read
    QStringDecoder decoder_{QStringDecoder::Utf8};
    std::optional<CsvError> error_;
};

// The file's bytes as text: strict UTF-8 without NUL bytes. Otherwise the first offending
// line and what is wrong with it, and no text.
struct CsvText {
    QString text;
    std::optional<CsvError> error;
};
CsvText decodeCsvBytes(const QByteArray& bytes);
// The same check of a device's bytes from its start, a piece at a time; the device is left at its
// start again.
std::optional<CsvError> checkCsvBytes(QIODevice& device);

// One field, quoted when it has to be.
QString csvField(const QString& value);
// One line of fields, without the line end.
QString csvLine(const QStringList& fields);
// A field for a file a spreadsheet will open: one that starts with =, +, -, @, a tab or a
// carriage return gets a leading apostrophe, so that it is shown as text, never run.
QString spreadsheetSafe(const QString& value);

} // namespace zavek::admin
