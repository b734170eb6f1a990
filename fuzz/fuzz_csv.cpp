// The CSV reader of zavek-admin: any file's bytes are refused with a line number or read into
// records, which the import checks validate; every record written back reads back the same.

#include "admin/catalogue_import.h"
#include "admin/csv.h"
#include "admin/csv_table.h"
#include "admin/officer_import.h"
#include "fuzz/fuzz_support.h"

#include <QByteArray>

using namespace zavek::admin;

namespace {

OfficerState knownState() {
    OfficerState state;
    state.catalogue.typeOf.insert(groupKey(QStringLiteral("NW"), QStringLiteral("BIS")),
                                  QStringLiteral("A"));
    state.catalogue.typeOf.insert(groupKey(QStringLiteral("NW"), QStringLiteral("CFR")),
                                  QStringLiteral("P"));
    state.catalogue.held.insert(groupKey(QStringLiteral("NW"), QStringLiteral("CFR")));
    state.regionOf.insert(QStringLiteral("NW00123"), QStringLiteral("NW"));
    state.memberships.insert(QStringLiteral("NW00123"), {QStringLiteral("BIS")});
    return state;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const OfficerState state = knownState();
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CsvText decoded = decodeCsvBytes(bytes);
    if (decoded.error) {
        ZAVEK_FUZZ_REQUIRE(decoded.error->line >= 1);
        ZAVEK_FUZZ_REQUIRE(decoded.error->line <= bytes.count('\n') + 1);
        return 0;
    }
    ZAVEK_FUZZ_REQUIRE(!decoded.text.contains(QChar(0)));
    ZAVEK_FUZZ_REQUIRE(!decoded.text.contains(QChar(QChar::ReplacementCharacter)) ||
                       bytes.contains("\xEF\xBF\xBD"));

    const CsvDocument document = parseCsv(decoded.text);
    for (const auto& record : document.records) {
        ZAVEK_FUZZ_REQUIRE(record.line >= 1);
        const CsvDocument again = parseCsv(csvLine(record.fields) + QStringLiteral("\r\n"));
        ZAVEK_FUZZ_REQUIRE(!again.error);
        ZAVEK_FUZZ_REQUIRE(again.records.size() == 1);
        ZAVEK_FUZZ_REQUIRE(again.records.front().fields == record.fields);
        for (const auto& field : record.fields) {
            const QString safe = spreadsheetSafe(field);
            ZAVEK_FUZZ_REQUIRE(safe.isEmpty() ||
                               !QStringLiteral("=+-@\t\r").contains(safe.front()));
        }
    }

    std::vector<LineError> errors;
    const CsvTable catalogue = readCsvTable(decoded.text, CatalogueImport::columns(), {}, errors);
    validateCatalogue(catalogue, state.catalogue, errors);
    const CsvTable officers = readCsvTable(decoded.text, OfficerImport::requiredColumns(),
                                           OfficerImport::optionalColumns(), errors);
    for (const auto& entry : validateOfficers(officers, state, errors))
        ZAVEK_FUZZ_REQUIRE(!entry.inspId.isEmpty() && !entry.agency.isEmpty());
    for (const auto& error : errors)
        ZAVEK_FUZZ_REQUIRE(error.line >= 1 && !error.message.isEmpty());
    return 0;
}
