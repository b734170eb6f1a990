// The CSV reader of zavek-admin: any file's bytes are refused with a line number or read into
// records, which the import checks validate, each refusal with its line; every record written
// back reads back the same, and no cell written for a spreadsheet starts a formula.

#include "fuzz/fuzz_support.h"

#include "admin/officer_import.h"

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
    auto k = [](const char* code) { return groupKey("NW", code); };
    const OfficerState state{
        {{{k("BIS"), "A"}, {k("CFR"), "P"}}, {k("CFR")}}, {{"NW00123", "NW"}}, {}};
    std::vector<LineError> errors;
    validateCatalogue(readCsvTable(decoded.text, CatalogueImport::columns(), {}, errors),
                      state.catalogue, errors);
    validateOfficers(readCsvTable(decoded.text, OfficerImport::requiredColumns(),
                                  OfficerImport::optionalColumns(), errors),
                     state, errors);
    for (const auto& error : errors)
        assert(error.line >= 1 && !error.message.isEmpty());
    return 0;
}
