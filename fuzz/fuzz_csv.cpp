// The CSV reader of zavek-admin: any file's bytes are refused with a line number or read into
// records; every record written back reads back the same, and no cell written for a spreadsheet
// starts a formula.

#include "fuzz/fuzz_support.h"

#include "admin/csv.h"

using namespace zavek::admin;

int fuzzOne(const QByteArray& bytes) {
    const CsvText decoded = decodeCsvBytes(bytes);
    if (decoded.error)
        return assert(decoded.error->line >= 1 && decoded.error->line <= bytes.count('\n') + 1), 0;
    for (const auto& record : parseCsv(decoded.text).records) {
        const CsvDocument again = parseCsv(csvLine(record.fields) + "\r\n");
        assert(record.line >= 1 && !again.error && again.records.at(0).fields == record.fields);
        for (const QString& field : record.fields)
            assert(!QStringLiteral("=+-@\t\r").contains(spreadsheetSafe(field + "x")[0]));
    }
    return 0;
}
