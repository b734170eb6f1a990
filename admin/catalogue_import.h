#pragma once
// import-catalogue: the security groups and agencies of each region, from a CSV file with the
// columns REGION,GRP_TYP_CD,GRP_CD,GRP_DES. A group already there takes the file's type and
// description; a new one is added. Every line is checked before anything is written: the file
// is read a line at a time, so that its size does not decide the memory the import needs.

#include "admin/console.h"
#include "admin/csv_table.h"
#include "admin/sql.h"

#include <QCoreApplication>
#include <QHash>
#include <QIODevice>
#include <QSet>
#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace zavek::admin {

struct CatalogueEntry {
    int line = 0;
    QString region;
    QString type; // "A" agency, "P" security group
    QString code;
    QString description;
    bool stored = false; // the database holds the group already
};

// What the database holds before the import, as far as the checks need it.
struct CatalogueState {
    QHash<QString, QString> typeOf; // groupKey(region, code) -> type
    QSet<QString> held;             // groupKey of every group some officer belongs to
};

QString groupKey(const QString& region, const QString& code);

// The checks of one line after another.
class CatalogueCheck {
    Q_DECLARE_TR_FUNCTIONS(zavek::admin::CatalogueCheck)

public:
    // The type the database gives a group, if it holds it; whether officers hold a group.
    using StoredType =
        std::function<std::optional<QString>(const QString& region, const QString& code)>;
    using Held = std::function<bool(const QString& region, const QString& code)>;
    CatalogueCheck(StoredType storedType, Held held)
        : storedType_(std::move(storedType)), held_(std::move(held)) {}
    // The entry of a valid row; otherwise none, and errors says why.
    std::optional<CatalogueEntry> check(const CsvRow& row, std::vector<LineError>& errors);

private:
    StoredType storedType_;
    Held held_;
    QHash<QString, int> firstLine_; // groupKey -> the line that gave it
};

// The entries of a valid file; otherwise errors says why, line by line.
std::vector<CatalogueEntry> validateCatalogue(const CsvTable& table, const CatalogueState& state,
                                              std::vector<LineError>& errors);

struct ImportOutcome {
    std::vector<LineError> errors; // not empty: nothing was written
    QString failure;               // the database refused; nothing was written
    int added = 0;
    int changed = 0;
    bool ok() const { return errors.empty() && failure.isEmpty(); }
};

class CatalogueImport {
public:
    static QStringList columns();
    explicit CatalogueImport(QSqlDatabase db, Operator who = {})
        : db_(std::move(db)), who_(std::move(who)) {}
    // file is read from its start twice: once for its form, once in the transaction.
    ImportOutcome run(QIODevice& file, IProgress& progress);

private:
    QSqlDatabase db_;
    Operator who_;
};

} // namespace zavek::admin
