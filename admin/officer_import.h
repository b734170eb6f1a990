#pragma once
// import-officers: officers and their memberships, from a CSV file with the columns
// INSP_ID,OFFICER_NAME,REGION,AGENCY_CD and optionally GROUP_CODES (security group codes
// separated by ";"). An officer already there takes the file's name, region and agency; with a
// GROUP_CODES column the officer's security groups become exactly those listed, without it they
// stay as they are. Every code is checked against the catalogue of the officer's region, and
// every line is checked before the import is kept: the file is read a line at a time, so that
// its size does not decide the memory the import needs.

#include "admin/catalogue_import.h"
#include "admin/console.h"
#include "admin/csv_table.h"
#include "admin/sql.h"

#include <QCoreApplication>
#include <QHash>
#include <QIODevice>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace zavek::admin {

struct OfficerEntry {
    int line = 0;
    QString inspId;
    QString name;
    QString region;
    QString agency;
    std::optional<QStringList> groups;   // absent: the security groups stay as they are
    std::optional<QString> storedRegion; // the database holds the officer already, in this region
};

struct OfficerState {
    CatalogueState catalogue;
    QHash<QString, QString> regionOf;        // INSP_ID -> REGION of every stored officer
    QHash<QString, QStringList> memberships; // INSP_ID -> GRP_CD held
};

// The checks of one line after another, against what the database holds before the import.
class OfficerCheck {
    Q_DECLARE_TR_FUNCTIONS(zavek::admin::OfficerCheck)

public:
    struct Lookups {
        std::function<bool(const QString& region)> regionHasGroups;
        // The type of a group of the catalogue, empty when the region has no such group.
        std::function<QString(const QString& region, const QString& code)> typeOf;
        std::function<std::optional<QString>(const QString& inspId)> storedRegion;
    };
    explicit OfficerCheck(Lookups lookups) : lookups_(std::move(lookups)) {}
    // The entry of a valid row; otherwise none, and errors says why.
    std::optional<OfficerEntry> check(const CsvRow& row, std::vector<LineError>& errors);

private:
    Lookups lookups_;
    QHash<QString, int> firstLine_; // INSP_ID -> the line that gave it
    QSet<QString> knownRegions_;
};

std::vector<OfficerEntry> validateOfficers(const CsvTable& table, const OfficerState& state,
                                           std::vector<LineError>& errors);

class OfficerImport {
public:
    static QStringList requiredColumns();
    static QStringList optionalColumns();
    explicit OfficerImport(QSqlDatabase db, Operator who = {})
        : db_(std::move(db)), who_(std::move(who)) {}
    // file is read from its start twice: once for its form, once in the transaction.
    ImportOutcome run(QIODevice& file, IProgress& progress);

private:
    QSqlDatabase db_;
    Operator who_;
};

} // namespace zavek::admin
