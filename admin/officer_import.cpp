#include "admin/officer_import.h"

#include "admin/sql.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace zavek::admin {

namespace {
const QString kInspId = QStringLiteral("INSP_ID");
const QString kName = QStringLiteral("OFFICER_NAME");
const QString kRegion = QStringLiteral("REGION");
const QString kAgency = QStringLiteral("AGENCY_CD");
const QString kGroups = QStringLiteral("GROUP_CODES");

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

// The statements of one import, prepared once.
class OfficerStore {
public:
    explicit OfficerStore(Sql& sql)
        : sql_(sql),
          regionGroup_(sql.prepare(QStringLiteral("SELECT 1 FROM VRD_GROUP WHERE REGION = ? "
                                                  "LIMIT 1"))),
          type_(sql.prepare(
              QStringLiteral("SELECT GRP_TYP_CD FROM VRD_GROUP WHERE REGION = ? AND GRP_CD = ?"))),
          officer_(sql.prepare(QStringLiteral("SELECT REGION FROM OFFICER WHERE INSP_ID = ?"))),
          held_(sql.prepare(QStringLiteral("SELECT GRP_CD FROM OFFICER_GROUP WHERE INSP_ID = ?"))),
          update_(sql.prepare(
              QStringLiteral("UPDATE OFFICER SET OFFICER_NAME = ?, REGION = ? WHERE INSP_ID = ?"))),
          // No one knows a new officer's password until an administrator resets it.
          insert_(sql.prepare(QStringLiteral("INSERT INTO OFFICER (INSP_ID, OFFICER_NAME, REGION, "
                                             "PWD_HASH, MUST_CHANGE_PWD) VALUES (?, ?, ?, NULL, "
                                             "1)"))),
          leave_(sql.prepare(
              QStringLiteral("DELETE FROM OFFICER_GROUP WHERE INSP_ID = ? AND GRP_CD = ?"))),
          join_(sql.prepare(
              QStringLiteral("INSERT INTO OFFICER_GROUP (INSP_ID, GRP_CD) VALUES (?, ?)"))) {}

    OfficerCheck::Lookups lookups() {
        return {[this](const QString& region) { return !first(regionGroup_, {region}).isNull(); },
                [this](const QString& region, const QString& code) {
                    // Officers of a file share a few codes: each is looked up once.
                    const QString key = groupKey(region, code);
                    auto known = types_.constFind(key);
                    if (known == types_.cend())
                        known = types_.insert(key, first(type_, {region, code}).toString());
                    return *known;
                },
                [this](const QString& inspId) -> std::optional<QString> {
                    const QVariant region = first(officer_, {inspId});
                    if (region.isNull())
                        return std::nullopt;
                    return region.toString();
                }};
    }

    // Returns whether the officer was added (rather than changed).
    bool write(const OfficerEntry& e,
               const std::function<QString(const QString&, const QString&)>& typeOf) {
        QStringList held;
        if (e.storedRegion) {
            sql_.exec(update_, {e.name, e.region, e.inspId});
            sql_.exec(held_, {e.inspId});
            while (held_.next())
                held << held_.value(0).toString();
            held_.finish();
        } else {
            sql_.exec(insert_, {e.inspId, e.name, e.region});
        }
        QStringList wanted{e.agency};
        if (e.groups) {
            wanted += *e.groups;
        } else {
            for (const auto& code : held)
                if (typeOf(*e.storedRegion, code) == u"P")
                    wanted << code;
        }
        for (const auto& code : held)
            if (!wanted.contains(code))
                sql_.exec(leave_, {e.inspId, code});
        for (const auto& code : wanted)
            if (!held.contains(code))
                sql_.exec(join_, {e.inspId, code});
        return !e.storedRegion;
    }

private:
    // The first column of the first row, null when there is none.
    QVariant first(QSqlQuery& query, const QVariantList& values) {
        sql_.exec(query, values);
        QVariant value;
        if (query.next())
            value = query.value(0);
        query.finish();
        return value;
    }

    Sql& sql_;
    QSqlQuery regionGroup_, type_, officer_, held_, update_, insert_, leave_, join_;
    QHash<QString, QString> types_;
};
} // namespace

QStringList OfficerImport::requiredColumns() {
    return {kInspId, kName, kRegion, kAgency};
}
QStringList OfficerImport::optionalColumns() {
    return {kGroups};
}

std::optional<OfficerEntry> OfficerCheck::check(const CsvRow& row, std::vector<LineError>& errors) {
    OfficerEntry e{row.line,           row.value(kInspId), row.value(kName), row.value(kRegion),
                   row.value(kAgency), std::nullopt,       std::nullopt};
    const std::size_t before = errors.size();
    auto error = [&](const QString& message) { errors.push_back({row.line, message}); };
    if (e.inspId.isEmpty())
        error(tr("INSP_ID is empty"));
    else if (const auto first = firstLine_.constFind(e.inspId); first != firstLine_.cend())
        error(tr("INSP_ID \"%1\" was already given on line %2").arg(e.inspId).arg(*first));
    else
        firstLine_.insert(e.inspId, row.line);
    if (e.name.isEmpty())
        error(tr("OFFICER_NAME is empty"));
    if (e.region.isEmpty()) {
        error(tr("REGION is empty"));
        return std::nullopt;
    }
    if (!knownRegions_.contains(e.region)) {
        if (!lookups_.regionHasGroups(e.region)) {
            error(tr("REGION \"%1\" has no groups in the catalogue; import its "
                     "catalogue first")
                      .arg(e.region));
            return std::nullopt;
        }
        knownRegions_.insert(e.region);
    }
    if (e.agency.isEmpty()) {
        error(tr("AGENCY_CD is empty; every officer needs exactly one agency"));
    } else if (const QString type = lookups_.typeOf(e.region, e.agency); type == u"P") {
        error(tr("AGENCY_CD \"%1\" is a security group of region %2, not an agency")
                  .arg(e.agency, e.region));
    } else if (type != u"A") {
        error(tr("AGENCY_CD \"%1\" is not an agency of region %2").arg(e.agency, e.region));
    }
    if (!e.inspId.isEmpty())
        e.storedRegion = lookups_.storedRegion(e.inspId);
    if (row.has(kGroups)) {
        const QStringList codes = splitCodes(row.value(kGroups));
        for (const auto& code : codes) {
            const QString type = lookups_.typeOf(e.region, code);
            if (type == u"A")
                error(tr("GROUP_CODES: \"%1\" is an agency of region %2; give it as "
                         "AGENCY_CD")
                          .arg(code, e.region));
            else if (type != u"P")
                error(tr("GROUP_CODES: \"%1\" is not a security group of region %2")
                          .arg(code, e.region));
        }
        e.groups = codes;
    } else if (e.storedRegion && *e.storedRegion != e.region) {
        error(tr("officer %1 moves from region %2 to %3; add a GROUP_CODES column so "
                 "that the groups fit the new region")
                  .arg(e.inspId, *e.storedRegion, e.region));
    }
    if (errors.size() != before)
        return std::nullopt;
    return e;
}

std::vector<OfficerEntry> validateOfficers(const CsvTable& table, const OfficerState& state,
                                           std::vector<LineError>& errors) {
    OfficerCheck check({[&](const QString& region) { return regionKnown(state.catalogue, region); },
                        [&](const QString& region, const QString& code) {
                            return state.catalogue.typeOf.value(groupKey(region, code));
                        },
                        [&](const QString& inspId) -> std::optional<QString> {
                            const auto stored = state.regionOf.constFind(inspId);
                            if (stored == state.regionOf.cend())
                                return std::nullopt;
                            return *stored;
                        }});
    std::vector<OfficerEntry> entries;
    for (const auto& row : table.rows)
        if (auto entry = check.check(row, errors))
            entries.push_back(std::move(*entry));
    return entries;
}

ImportOutcome OfficerImport::run(QIODevice& file, IProgress& progress) {
    ImportOutcome outcome;
    const auto eachRow = [&](const std::function<void(const CsvRow&)>& visit) {
        eachCsvRow(file, requiredColumns(), optionalColumns(), outcome.errors, visit);
    };
    int rows = 0;
    eachRow([&](const CsvRow&) { ++rows; });
    if (!outcome.errors.empty())
        return outcome;
    outcome.failure = inTransaction(db_, [&](Sql& sql) {
        outcome.errors.clear();
        outcome.added = outcome.changed = 0;
        OfficerStore store(sql);
        const OfficerCheck::Lookups lookups = store.lookups();
        OfficerCheck check(lookups);
        int done = 0;
        eachRow([&](const CsvRow& row) {
            const auto e = check.check(row, outcome.errors);
            // After the first wrong line the rest is only checked: all is rolled back anyway.
            // Writing never changes what a later line is checked against: the catalogue stays
            // as it is, and an officer given again is refused before its stored region counts.
            if (!e || !outcome.errors.empty())
                return;
            if (store.write(*e, lookups.typeOf))
                ++outcome.added;
            else
                ++outcome.changed;
            progress.advance(++done, rows);
        });
        if (!outcome.errors.empty())
            return false;
        writeImportAudit(sql, who_, ImportKind::Officers, outcome.added, outcome.changed);
        return true;
    });
    progress.finish();
    return outcome;
}

} // namespace zavek::admin
