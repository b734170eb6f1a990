#pragma once
// import-officers: officers and their memberships, from a CSV file with the columns
// INSP_ID,OFFICER_NAME,REGION,AGENCY_CD and optionally GROUP_CODES (security group codes
// separated by ";"). An officer already there takes the file's name, region and agency; with a
// GROUP_CODES column the officer's security groups become exactly those listed, without it they
// stay as they are. Every code is checked against the catalogue of the officer's region, and
// every line is checked before anything is written.

#include "admin/catalogue_import.h"
#include "admin/console.h"
#include "admin/csv_table.h"
#include "admin/sql.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace zavek::admin {

struct OfficerEntry {
    int line = 0;
    QString inspId;
    QString name;
    QString region;
    QString agency;
    std::optional<QStringList> groups; // absent: the security groups stay as they are
};

struct OfficerState {
    CatalogueState catalogue;
    QHash<QString, QString> regionOf;        // INSP_ID -> REGION of every stored officer
    QHash<QString, QStringList> memberships; // INSP_ID -> GRP_CD held
};

std::vector<OfficerEntry> validateOfficers(const CsvTable& table, const OfficerState& state,
                                           std::vector<LineError>& errors);

class OfficerImport {
public:
    static QStringList requiredColumns();
    static QStringList optionalColumns();
    explicit OfficerImport(QSqlDatabase db, Operator who = {})
        : db_(std::move(db)), who_(std::move(who)) {}
    ImportOutcome run(const QString& csvText, IProgress& progress);

private:
    QSqlDatabase db_;
    Operator who_;
};

} // namespace zavek::admin
