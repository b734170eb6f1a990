#include "admin/catalogue_import.h"

#include "admin/sql.h"

#include <QSqlQuery>

namespace zavek::admin {

namespace {
const QString kRegion = QStringLiteral("REGION");
const QString kType = QStringLiteral("GRP_TYP_CD");
const QString kCode = QStringLiteral("GRP_CD");
const QString kDescription = QStringLiteral("GRP_DES");

QSet<QString> readHeld(Sql& sql) {
    QSet<QString> held;
    QSqlQuery query = sql.run(
        QStringLiteral("SELECT DISTINCT o.REGION, g.GRP_CD FROM OFFICER_GROUP g JOIN OFFICER o "
                       "ON o.INSP_ID = g.INSP_ID"));
    while (query.next())
        held.insert(groupKey(query.value(0).toString(), query.value(1).toString()));
    return held;
}

} // namespace

QString groupKey(const QString& region, const QString& code) {
    return region + QChar(0x1F) + code;
}

QStringList CatalogueImport::columns() {
    return {kRegion, kType, kCode, kDescription};
}

std::optional<CatalogueEntry> CatalogueCheck::check(const CsvRow& row,
                                                    std::vector<LineError>& errors) {
    CatalogueEntry e{row.line, row.value(kRegion), row.value(kType).toUpper(), row.value(kCode),
                     row.value(kDescription)};
    const std::size_t before = errors.size();
    auto error = [&](const QString& message) { errors.push_back({row.line, message}); };
    if (e.region.isEmpty())
        error(tr("REGION is empty"));
    if (e.type != u"A" && e.type != u"P")
        error(tr("GRP_TYP_CD must be A or P, not \"%1\"").arg(row.value(kType)));
    if (e.code.isEmpty())
        error(tr("GRP_CD is empty"));
    if (e.description.isEmpty())
        error(tr("GRP_DES is empty"));
    if (errors.size() != before)
        return std::nullopt;
    const QString key = groupKey(e.region, e.code);
    if (const auto first = firstLine_.constFind(key); first != firstLine_.cend()) {
        error(tr("GRP_CD \"%1\" of region %2 was already given on line %3")
                  .arg(e.code, e.region)
                  .arg(*first));
        return std::nullopt;
    }
    firstLine_.insert(key, row.line);
    const auto stored = storedType_(e.region, e.code);
    if (stored && *stored != e.type && held_(e.region, e.code)) {
        // Turning a held group into an agency (or back) would change how many agencies
        // its officers have behind the administrators' backs.
        error(tr("GRP_CD \"%1\" of region %2 is held by officers as type %3; "
                 "its type cannot change to %4")
                  .arg(e.code, e.region, *stored, e.type));
        return std::nullopt;
    }
    e.stored = stored.has_value();
    return e;
}

std::vector<CatalogueEntry> validateCatalogue(const CsvTable& table, const CatalogueState& state,
                                              std::vector<LineError>& errors) {
    CatalogueCheck check(
        [&](const QString& region, const QString& code) -> std::optional<QString> {
            const auto stored = state.typeOf.constFind(groupKey(region, code));
            if (stored == state.typeOf.cend())
                return std::nullopt;
            return *stored;
        },
        [&](const QString& region, const QString& code) {
            return state.held.contains(groupKey(region, code));
        });
    std::vector<CatalogueEntry> entries;
    for (const auto& row : table.rows)
        if (auto entry = check.check(row, errors))
            entries.push_back(std::move(*entry));
    return entries;
}

ImportOutcome CatalogueImport::run(QIODevice& file, IProgress& progress) {
    ImportOutcome outcome;
    const auto eachRow = [&](const std::function<void(const CsvRow&)>& visit) {
        eachCsvRow(file, columns(), {}, outcome.errors, visit);
    };
    int rows = 0;
    eachRow([&](const CsvRow&) { ++rows; });
    if (!outcome.errors.empty())
        return outcome;
    outcome.failure = inTransaction(db_, [&](Sql& sql) {
        outcome.errors.clear();
        outcome.added = outcome.changed = 0;
        QSqlQuery select = sql.prepare(
            QStringLiteral("SELECT GRP_TYP_CD FROM VRD_GROUP WHERE REGION = ? AND GRP_CD = ?"));
        QSqlQuery update = sql.prepare(QStringLiteral(
            "UPDATE VRD_GROUP SET GRP_TYP_CD = ?, GRP_DES = ? WHERE REGION = ? AND GRP_CD = ?"));
        QSqlQuery insert = sql.prepare(QStringLiteral(
            "INSERT INTO VRD_GROUP (REGION, GRP_TYP_CD, GRP_CD, GRP_DES) VALUES (?, ?, ?, ?)"));
        // Only a group whose type changes asks whether officers hold it; most imports never do.
        std::optional<QSet<QString>> held;
        CatalogueCheck check(
            [&](const QString& region, const QString& code) -> std::optional<QString> {
                sql.exec(select, {region, code});
                std::optional<QString> type;
                if (select.next())
                    type = select.value(0).toString();
                select.finish();
                return type;
            },
            [&](const QString& region, const QString& code) {
                if (!held)
                    held = readHeld(sql);
                return held->contains(groupKey(region, code));
            });
        int done = 0;
        eachRow([&](const CsvRow& row) {
            const auto e = check.check(row, outcome.errors);
            // After the first wrong line the rest is only checked: all is rolled back anyway.
            if (!e || !outcome.errors.empty())
                return;
            if (e->stored) {
                sql.exec(update, {e->type, e->description, e->region, e->code});
                ++outcome.changed;
            } else {
                sql.exec(insert, {e->region, e->type, e->code, e->description});
                ++outcome.added;
            }
            progress.advance(++done, rows);
        });
        if (!outcome.errors.empty())
            return false;
        writeImportAudit(sql, who_, ImportKind::Catalogue, outcome.added, outcome.changed);
        return true;
    });
    progress.finish();
    return outcome;
}

} // namespace zavek::admin
