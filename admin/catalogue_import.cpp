#include "admin/catalogue_import.h"

#include "admin/sql.h"

#include <QSqlQuery>

namespace zavek::admin {

namespace {
const QString kRegion = QStringLiteral("REGION");
const QString kType = QStringLiteral("GRP_TYP_CD");
const QString kCode = QStringLiteral("GRP_CD");
const QString kDescription = QStringLiteral("GRP_DES");

CatalogueState readState(Sql& sql) {
    CatalogueState state;
    QSqlQuery groups = sql.run(QStringLiteral("SELECT REGION, GRP_TYP_CD, GRP_CD FROM VRD_GROUP"));
    while (groups.next())
        state.typeOf.insert(groupKey(groups.value(0).toString(), groups.value(2).toString()),
                            groups.value(1).toString());
    QSqlQuery held = sql.run(
        QStringLiteral("SELECT DISTINCT o.REGION, g.GRP_CD FROM OFFICER_GROUP g JOIN OFFICER o "
                       "ON o.INSP_ID = g.INSP_ID"));
    while (held.next())
        state.held.insert(groupKey(held.value(0).toString(), held.value(1).toString()));
    return state;
}
} // namespace

QString groupKey(const QString& region, const QString& code) {
    return region + QChar(0x1F) + code;
}

QStringList CatalogueImport::columns() {
    return {kRegion, kType, kCode, kDescription};
}

std::vector<CatalogueEntry> validateCatalogue(const CsvTable& table, const CatalogueState& state,
                                              std::vector<LineError>& errors) {
    std::vector<CatalogueEntry> entries;
    QHash<QString, int> firstLine;
    for (const auto& row : table.rows) {
        CatalogueEntry e{row.line, row.value(kRegion), row.value(kType).toUpper(), row.value(kCode),
                         row.value(kDescription)};
        const std::size_t before = errors.size();
        auto error = [&](const QString& message) { errors.push_back({row.line, message}); };
        if (e.region.isEmpty())
            error(QStringLiteral("REGION is empty"));
        if (e.type != u"A" && e.type != u"P")
            error(QStringLiteral("GRP_TYP_CD must be A or P, not \"%1\"").arg(row.value(kType)));
        if (e.code.isEmpty())
            error(QStringLiteral("GRP_CD is empty"));
        if (e.description.isEmpty())
            error(QStringLiteral("GRP_DES is empty"));
        if (errors.size() != before)
            continue;
        const QString key = groupKey(e.region, e.code);
        if (firstLine.contains(key)) {
            error(QStringLiteral("GRP_CD \"%1\" of region %2 was already given on line %3")
                      .arg(e.code, e.region)
                      .arg(firstLine.value(key)));
            continue;
        }
        firstLine.insert(key, row.line);
        const auto stored = state.typeOf.constFind(key);
        if (stored != state.typeOf.cend() && *stored != e.type && state.held.contains(key)) {
            // Turning a held group into an agency (or back) would change how many agencies
            // its officers have behind the administrators' backs.
            error(QStringLiteral("GRP_CD \"%1\" of region %2 is held by officers as type %3; "
                                 "its type cannot change to %4")
                      .arg(e.code, e.region, *stored, e.type));
            continue;
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

ImportOutcome CatalogueImport::run(const QString& csvText, IProgress& progress) {
    ImportOutcome outcome;
    const CsvTable table = readCsvTable(csvText, columns(), {}, outcome.errors);
    if (!outcome.errors.empty())
        return outcome;
    outcome.failure = inTransaction(db_, [&](Sql& sql) {
        outcome.errors.clear();
        outcome.added = outcome.changed = 0;
        const CatalogueState state = readState(sql);
        const auto entries = validateCatalogue(table, state, outcome.errors);
        if (!outcome.errors.empty())
            return false;
        int done = 0;
        for (const auto& e : entries) {
            const QString key = groupKey(e.region, e.code);
            if (state.typeOf.contains(key)) {
                sql.run(QStringLiteral("UPDATE VRD_GROUP SET GRP_TYP_CD = ?, GRP_DES = ? "
                                       "WHERE REGION = ? AND GRP_CD = ?"),
                        {e.type, e.description, e.region, e.code});
                ++outcome.changed;
            } else {
                sql.run(QStringLiteral("INSERT INTO VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD, "
                                       "GRP_DES) VALUES (?, ?, ?, ?)"),
                        {e.region, e.type, e.code, e.description});
                ++outcome.added;
            }
            progress.advance(++done, static_cast<int>(entries.size()));
        }
        writeImportAudit(sql, who_, ImportKind::Catalogue, outcome.added, outcome.changed);
        return true;
    });
    progress.finish();
    return outcome;
}

} // namespace zavek::admin
