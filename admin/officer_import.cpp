#include "admin/officer_import.h"

#include "admin/sql.h"

#include <QRegularExpression>

namespace zavek::admin {

namespace {
const QString kInspId = QStringLiteral("INSP_ID");
const QString kName = QStringLiteral("OFFICER_NAME");
const QString kRegion = QStringLiteral("REGION");
const QString kAgency = QStringLiteral("AGENCY_CD");
const QString kGroups = QStringLiteral("GROUP_CODES");

OfficerState readState(Sql& sql) {
    OfficerState state;
    QSqlQuery groups = sql.run(QStringLiteral("SELECT REGION, GRP_TYP_CD, GRP_CD FROM VRD_GROUP"));
    while (groups.next())
        state.catalogue.typeOf.insert(
            groupKey(groups.value(0).toString(), groups.value(2).toString()),
            groups.value(1).toString());
    QSqlQuery officers = sql.run(QStringLiteral("SELECT INSP_ID, REGION FROM OFFICER"));
    while (officers.next())
        state.regionOf.insert(officers.value(0).toString(), officers.value(1).toString());
    QSqlQuery held = sql.run(QStringLiteral("SELECT INSP_ID, GRP_CD FROM OFFICER_GROUP"));
    while (held.next())
        state.memberships[held.value(0).toString()] << held.value(1).toString();
    return state;
}

QStringList splitCodes(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
    QStringList codes;
    for (const auto& code : text.split(separators, Qt::SkipEmptyParts))
        if (!codes.contains(code))
            codes << code;
    return codes;
}

bool regionKnown(const CatalogueState& catalogue, const QString& region) {
    const QString prefix = region + QChar(0x1F);
    for (auto it = catalogue.typeOf.cbegin(); it != catalogue.typeOf.cend(); ++it)
        if (it.key().startsWith(prefix))
            return true;
    return false;
}
} // namespace

QStringList OfficerImport::requiredColumns() {
    return {kInspId, kName, kRegion, kAgency};
}
QStringList OfficerImport::optionalColumns() {
    return {kGroups};
}

std::vector<OfficerEntry> validateOfficers(const CsvTable& table, const OfficerState& state,
                                           std::vector<LineError>& errors) {
    std::vector<OfficerEntry> entries;
    QHash<QString, int> firstLine;
    QSet<QString> knownRegions;
    const bool withGroups = table.hasColumn(kGroups);
    for (const auto& row : table.rows) {
        OfficerEntry e{row.line,           row.value(kInspId), row.value(kName),
                       row.value(kRegion), row.value(kAgency), std::nullopt};
        const std::size_t before = errors.size();
        auto error = [&](const QString& message) { errors.push_back({row.line, message}); };
        if (e.inspId.isEmpty())
            error(QStringLiteral("INSP_ID is empty"));
        else if (firstLine.contains(e.inspId))
            error(QStringLiteral("INSP_ID \"%1\" was already given on line %2")
                      .arg(e.inspId)
                      .arg(firstLine.value(e.inspId)));
        else
            firstLine.insert(e.inspId, row.line);
        if (e.name.isEmpty())
            error(QStringLiteral("OFFICER_NAME is empty"));
        if (e.region.isEmpty()) {
            error(QStringLiteral("REGION is empty"));
        } else if (!knownRegions.contains(e.region)) {
            if (!regionKnown(state.catalogue, e.region)) {
                error(QStringLiteral("REGION \"%1\" has no groups in the catalogue; import its "
                                     "catalogue first")
                          .arg(e.region));
                continue;
            }
            knownRegions.insert(e.region);
        }
        if (e.region.isEmpty())
            continue;
        const auto typeOf = [&](const QString& code) {
            return state.catalogue.typeOf.value(groupKey(e.region, code));
        };
        if (e.agency.isEmpty())
            error(QStringLiteral("AGENCY_CD is empty; every officer needs exactly one agency"));
        else if (typeOf(e.agency) == u"P")
            error(QStringLiteral("AGENCY_CD \"%1\" is a security group of region %2, not an "
                                 "agency")
                      .arg(e.agency, e.region));
        else if (typeOf(e.agency) != u"A")
            error(QStringLiteral("AGENCY_CD \"%1\" is not an agency of region %2")
                      .arg(e.agency, e.region));
        if (withGroups) {
            const QStringList codes = splitCodes(row.value(kGroups));
            for (const auto& code : codes) {
                if (typeOf(code) == u"A")
                    error(QStringLiteral("GROUP_CODES: \"%1\" is an agency of region %2; give "
                                         "it as AGENCY_CD")
                              .arg(code, e.region));
                else if (typeOf(code) != u"P")
                    error(QStringLiteral("GROUP_CODES: \"%1\" is not a security group of region "
                                         "%2")
                              .arg(code, e.region));
            }
            e.groups = codes;
        } else {
            const auto stored = state.regionOf.constFind(e.inspId);
            if (stored != state.regionOf.cend() && *stored != e.region)
                error(QStringLiteral("officer %1 moves from region %2 to %3; add a GROUP_CODES "
                                     "column so that the groups fit the new region")
                          .arg(e.inspId, *stored, e.region));
        }
        if (errors.size() == before)
            entries.push_back(std::move(e));
    }
    return entries;
}

ImportOutcome OfficerImport::run(const QString& csvText, IProgress& progress) {
    ImportOutcome outcome;
    const CsvTable table =
        readCsvTable(csvText, requiredColumns(), optionalColumns(), outcome.errors);
    if (!outcome.errors.empty())
        return outcome;
    outcome.failure = inTransaction(db_, [&](Sql& sql) {
        outcome.errors.clear();
        outcome.added = outcome.changed = 0;
        const OfficerState state = readState(sql);
        const auto entries = validateOfficers(table, state, outcome.errors);
        if (!outcome.errors.empty())
            return false;
        int done = 0;
        for (const auto& e : entries) {
            const bool stored = state.regionOf.contains(e.inspId);
            if (stored) {
                sql.run(QStringLiteral(
                            "UPDATE OFFICER SET OFFICER_NAME = ?, REGION = ? WHERE INSP_ID = ?"),
                        {e.name, e.region, e.inspId});
                ++outcome.changed;
            } else {
                // No one knows a new officer's password until an administrator resets it.
                sql.run(QStringLiteral("INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION, "
                                       "PWD_HASH, MUST_CHANGE_PWD) VALUES (?, ?, ?, NULL, 1)"),
                        {e.inspId, e.name, e.region});
                ++outcome.added;
            }
            const QStringList held = state.memberships.value(e.inspId);
            const QString oldRegion = state.regionOf.value(e.inspId);
            QStringList wanted{e.agency};
            if (e.groups) {
                wanted += *e.groups;
            } else {
                for (const auto& code : held)
                    if (state.catalogue.typeOf.value(groupKey(oldRegion, code)) == u"P")
                        wanted << code;
            }
            for (const auto& code : held)
                if (!wanted.contains(code))
                    sql.run(QStringLiteral(
                                "DELETE FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD = ?"),
                            {e.inspId, code});
            for (const auto& code : wanted)
                if (!held.contains(code))
                    sql.run(
                        QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"),
                        {e.inspId, code});
            progress.advance(++done, static_cast<int>(entries.size()));
        }
        writeImportAudit(sql, who_, ImportKind::Officers, outcome.added, outcome.changed);
        return true;
    });
    progress.finish();
    return outcome;
}

} // namespace zavek::admin
